<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>BatchProgrammingDialog</name>
    <message>
        <location filename="../../programming/batchprogrammingdialog.cpp" line="+33" />
        <source>Not Start</source>
        <translation>未开始</translation>
    </message>
    <message>
        <location line="+1" />
        <source>In Progress</source>
        <translation>进行中</translation>
    </message>
    <message>
        <location line="+1" />
        <source>Succeeded</source>
        <translation>成功</translation>
    </message>
    <message>
        <location line="+1" />
        <source>Failed</source>
        <translation>失败</translation>
    </message>
    <message>
        <location line="+153" />
        <source>Tip</source>
        <translation>提示</translation>
    </message>
    <message>
        <location line="+0" />
        <source>The batch is still running, please wait until it has finished!</source>
        <translation>批量任务仍在进行，请等待其完成！</translation>
    </message>
    <message>
        <location line="+29" />
        <location line="+4" />
        <location line="+60" />
        <location line="+13" />
        <location line="+26" />
        <location line="+11" />
        <source>Warning</source>
        <translation>警告</translation>
    </message>
    <message>
        <location line="-114" />
        <source>IP address is invaild!</source>
        <translation>IP 地址无效！</translation>
    </message>
    <message>
        <location line="+4" />
        <source>IP already exists!</source>
        <translation>IP 已存在！</translation>
    </message>
    <message>
        <location line="+18" />
        <source>Delete</source>
        <translation>删除</translation>
    </message>
    <message>
        <location line="+17" />
        <location filename="../../programming/ui_batchprogrammingdialog.cpp" line="+123" />
        <source>Choose Programming File</source>
        <translation>选择烧录文件</translation>
    </message>
    <message>
        <location line="+0" />
        <source>(*.bin)</source>
        <translation>(*.bin)</translation>
    </message>
    <message>
        <location line="+10" />
        <source>Choose Device List File</source>
        <translation>选择设备列表文件</translation>
    </message>
    <message>
        <location line="+0" />
        <source>(*.txt *.csv *.xlsx)</source>
        <translation>(*.txt *.csv *.xlsx)</translation>
    </message>
    <message>
        <location line="+15" />
        <location line="+13" />
        <location line="+26" />
        <source>File cannot open!</source>
        <translation>无法打开文件！</translation>
    </message>
    <message>
        <location line="-16" />
        <source>Save Batch Programming Result</source>
        <translation>保存批量烧录结果</translation>
    </message>
    <message>
        <location line="+0" />
        <source>(*.txt)</source>
        <translation>(*.txt)</translation>
    </message>
    <message>
        <location line="+9" />
        <source>Code: </source>
        <translation>代码：</translation>
    </message>
    <message>
        <location line="+4" />
        <location filename="../../programming/ui_batchprogrammingdialog.cpp" line="-13" />
        <source>IP</source>
        <translation>IP</translation>
    </message>
    <message>
        <location line="+1" />
        <source>Result</source>
        <translation>结果</translation>
    </message>
    <message>
        <location line="+13" />
        <source>Cannot prepare the programming file!</source>
        <translation>无法准备烧录文件！</translation>
    </message>
    <message>
        <location line="-2" />
        <source>The file %1 looks like a firmware package, but its %2 check failed. Nothing was sent.</source>
        <translation>文件 %1 看似固件包，但其%2校验失败。未发送任何数据。</translation>
    </message>
    <message>
        <location filename="../../programming/ui_batchprogrammingdialog.cpp" line="-1" />
        <source>Batch Programming</source>
        <translation>批量烧录</translation>
    </message>
    <message>
        <location line="+2" />
        <source>Version</source>
        <translation>版本</translation>
    </message>
    <message>
        <location line="+1" />
        <source>Progress</source>
        <translation>进度</translation>
    </message>
    <message>
        <location line="+1" />
        <source>Status</source>
        <translation>状态</translation>
    </message>
    <message>
        <location line="+1" />
        <source>Device list</source>
        <translation>设备列表</translation>
    </message>
    <message>
        <location line="+1" />
        <source>Programming type</source>
        <translation>烧录类型</translation>
    </message>
    <message>
        <location line="+1" />
        <source>Refresh Version</source>
        <translation>刷新版本</translation>
    </message>
    <message>
        <location line="+1" />
        <source>Import Device</source>
        <translation>导入设备</translation>
    </message>
    <message>
        <location line="+1" />
        <source>Export Result</source>
        <translation>导出结果</translation>
    </message>
    <message>
        <location line="+1" />
        <source>Program</source>
        <translation>烧录</translation>
    </message>
    <message>
        <location line="+1" />
        <source>Device IP:</source>
        <translation>设备 IP：</translation>
    </message>
    <message>
        <location line="+1" />
        <source>Add Device</source>
        <translation>添加设备</translation>
    </message>
    <message>
        <location line="+1" />
        <source>Programming file:</source>
        <translation>烧录文件：</translation>
    </message>
    <message>
        <location line="+5" />
        <source>APP</source>
        <translation>应用程序</translation>
    </message>
    <message>
        <location line="+1" />
        <source>Firmware</source>
        <translation>固件</translation>
    </message>
    <message>
        <location line="+1" />
        <source>Patch</source>
        <translation>补丁</translation>
    </message>
    <message>
        <source>Save Batch Programming Result as CSV</source>
        <translation>保存批量烧写结果为 CSV</translation>
    </message>
    <message>
        <source>CSV files (*.csv)</source>
        <translation>CSV 文件 (*.csv)</translation>
    </message>
    <message>
        <source>Detail</source>
        <translation>详情</translation>
    </message>
    <message>
        <source>Export CSV</source>
        <translation>导出 CSV</translation>
    </message>
    <message>
        <source>Program one device first</source>
        <translation>先烧写一台设备</translation>
    </message>
    <message>
        <source>Stop after</source>
        <translation>失败达到</translation>
    </message>
    <message>
        <source> failures</source>
        <translation> 次后停止</translation>
    </message>
    <message>
        <source>Failures before the batch stops</source>
        <translation>批量停止前允许的失败次数</translation>
    </message>
    <message>
        <source>Batch totals</source>
        <translation>批量统计</translation>
    </message>
    <message>
        <source>waiting</source>
        <translation>等待中</translation>
    </message>
    <message>
        <source>connecting</source>
        <translation>连接中</translation>
    </message>
    <message>
        <source>sending %1%</source>
        <translation>发送中 %1%</translation>
    </message>
    <message>
        <source>installing %1</source>
        <translation>安装中 %1</translation>
    </message>
    <message>
        <source>version read</source>
        <translation>已读取版本</translation>
    </message>
    <message>
        <source>done</source>
        <translation>完成</translation>
    </message>
    <message>
        <source>not started</source>
        <translation>未开始</translation>
    </message>
    <message>
        <source>Batch finished: %1 succeeded, %2 failed, %3</source>
        <translation>批量完成：%1 台成功，%2 台失败，%3</translation>
    </message>
    <message>
        <source>Succeeded: %1    Failed: %2    Left: %3    Elapsed: %4    Remaining: %5</source>
        <translation>成功：%1    失败：%2    剩余：%3    已用时：%4    预计剩余：%5</translation>
    </message>
    <message>
        <source>about %1</source>
        <translation>约 %1</translation>
    </message>
    <message>
        <source>%1 not started: the first device failed</source>
        <translation>%1 台未开始：第一台设备失败</translation>
    </message>
    <message>
        <source>%1 not started: too many failures</source>
        <translation>%1 台未开始：失败次数过多</translation>
    </message>
    <message>
        <source>connect failed</source>
        <translation>连接失败</translation>
    </message>
    <message>
        <source>start refused</source>
        <translation>启动被拒绝</translation>
    </message>
    <message>
        <source>chunk refused</source>
        <translation>数据块被拒绝</translation>
    </message>
    <message>
        <source>chunk time-out</source>
        <translation>数据块超时</translation>
    </message>
    <message>
        <source>connection lost</source>
        <translation>连接断开</translation>
    </message>
    <message>
        <source>installation time-out</source>
        <translation>安装超时</translation>
    </message>
    <message>
        <source>image unreadable</source>
        <translation>镜像无法读取</translation>
    </message>
    <message>
        <source>no reply</source>
        <translation>无应答</translation>
    </message>
</context>
<context>
    <name>CommLinkThread</name>
    <message>
        <location filename="../../discovery/commlinkthread.cpp" line="+115" />
        <source>there is no network interface %1</source>
        <translation>没有网络接口 %1</translation>
    </message>
    <message>
        <location line="+24" />
        <source>%1 has no permission to capture; it needs the cap_net_raw capability (granted with &quot;setcap cap_net_raw+ep %1&quot;) or root</source>
        <translation>%1 没有抓包权限；它需要 cap_net_raw 能力（用 &quot;setcap cap_net_raw+ep %1&quot; 授予）或 root 权限</translation>
    </message>
</context>
<context>
    <name>CommTcp</name>
    <message>
        <location filename="../../link/commtcp.cpp" line="+68" />
        <source>Device not connected!</source>
        <translation>设备未连接！</translation>
    </message>
    <message>
        <location line="+9" />
        <source>Send command failed!</source>
        <translation>发送命令失败！</translation>
    </message>
    <message>
        <location line="+40" />
        <source>Information</source>
        <translation>信息</translation>
    </message>
    <message>
        <location line="+9" />
        <source>Warning</source>
        <translation>警告</translation>
    </message>
    <message>
        <location line="+32" />
        <source>Set device's IP Settings success!</source>
        <translation>设置设备 IP 成功！</translation>
    </message>
    <message>
        <location line="+3" />
        <source>Reset device's IP Settings success!</source>
        <translation>恢复设备 IP 设置成功！</translation>
    </message>
    <message>
        <location line="+3" />
        <source>Set device's date success!</source>
        <translation>设置设备日期成功！</translation>
    </message>
    <message>
        <location line="+2" />
        <source>Set device's date failed!</source>
        <translation>设置设备日期失败！</translation>
    </message>
</context>
<context>
    <name>CrashHandler</name>
    <message>
        <location filename="../../app/crashbox.cpp" line="+36" />
        <source>Crash</source>
        <translation>程序崩溃</translation>
    </message>
    <message>
        <location line="+1" />
        <source>Code: %1, address: %2</source>
        <translation>错误代码：%1，地址：%2</translation>
    </message>
</context>
<context>
    <name>DevSearchPage</name>
    <message>
        <source>Cards found</source>
        <translation>已发现的设备</translation>
    </message>
    <message>
        <source>No search yet</source>
        <translation>尚未搜索</translation>
    </message>
    <message>
        <source>Cards found: %1    Last search: %2</source>
        <translation>找到设备：%1    上次搜索：%2</translation>
    </message>
    <message>
        <location filename="../../discovery/devsereachpage.cpp" line="+86" />
        <source>Host</source>
        <translation>主机</translation>
    </message>
    <message>
        <location line="+0" />
        <source>Product</source>
        <translation>产品</translation>
    </message>
    <message>
        <location line="+0" />
        <source>Interface</source>
        <translation>接口</translation>
    </message>
    <message>
        <location line="+0" />
        <source>IP</source>
        <translation>IP</translation>
    </message>
    <message>
        <location line="+0" />
        <source>Netmask</source>
        <translation>子网掩码</translation>
    </message>
    <message>
        <location line="+0" />
        <source>MAC</source>
        <translation>MAC</translation>
    </message>
    <message>
        <location line="+1" />
        <source>Interface:</source>
        <translation>网络接口：</translation>
    </message>
    <message>
        <location line="+1" />
        <source>Refresh</source>
        <translation>刷新</translation>
    </message>
</context>
<context>
    <name>DevSereachPage</name>
    <message>
        <source>Another card answered with the same IP address %1: only one of them can be reached at it. Give one of them other IP settings.</source>
        <translation>另一台设备以相同的 IP 地址 %1 应答：此地址只能访问到其中一台。请为其中一台设置其他 IP。</translation>
    </message>
    <message>
        <source>%1 is outside the subnet of %2: this PC cannot reach the card over IP until the card gets IP settings in that subnet.</source>
        <translation>%1 不在 %2 的子网内：在设备获得该子网内的 IP 设置之前，本机无法通过 IP 访问该设备。</translation>
    </message>
    <message>
        <location line="+82" />
        <location line="+12" />
        <location line="+96" />
        <source>Search device</source>
        <translation>搜索设备</translation>
    </message>
    <message>
        <location line="-108" />
        <source>Searching device...</source>
        <translation>正在搜索设备……</translation>
    </message>
    <message>
        <location line="+13" />
        <source>Network interface is not accessible!</source>
        <translation>网络接口不可用！</translation>
    </message>
    <message>
        <location line="+65" />
        <source>Unknown</source>
        <translation>未知</translation>
    </message>
    <message>
        <location line="+21" />
        <source>Device Reply</source>
        <translation>设备回复</translation>
    </message>
    <message>
        <location line="+1" />
        <source>Operation %1!</source>
        <translation>操作%1！</translation>
    </message>
    <message>
        <location line="+0" />
        <source>succeed</source>
        <translation>成功</translation>
    </message>
    <message>
        <location line="+0" />
        <source>failed</source>
        <translation>失败</translation>
    </message>
    <message>
        <location line="+9" />
        <source>The link-layer search cannot run on %1: %2.
Cards whose IP settings do not fit this PC's network will not be found, and no card can be given new IP settings or rebooted from here. The UDP search goes on.</source>
        <translation>无法在 %1 上进行链路层搜索：%2。
将找不到 IP 设置与本机网络不匹配的设备，也无法在此设置设备 IP 或重启设备。UDP 搜索将继续进行。</translation>
    </message>
    <message>
        <location line="+28" />
        <source>Browse device</source>
        <translation>浏览设备</translation>
    </message>
    <message>
        <location line="+1" />
        <source>Set IP address</source>
        <translation>设置 IP 地址</translation>
    </message>
    <message>
        <location line="+1" />
        <source>Reboot</source>
        <translation>重启</translation>
    </message>
    <message>
        <location line="+29" />
        <location line="+8" />
        <location line="+13" />
        <source>Warning</source>
        <translation>警告</translation>
    </message>
    <message>
        <location line="-20" />
        <source>This card did not report its hardware address, and this command reaches a card only by its hardware address. Nothing was sent.
Search again: a card that answers the link-layer search reports it.</source>
        <translation>该设备未上报其硬件地址，而此命令只能按硬件地址发送到设备。未发送任何内容。
请重新搜索：响应链路层搜索的设备会上报其硬件地址。</translation>
    </message>
    <message>
        <location line="+8" />
        <source>The hardware address %1 that this card reported does not name a single card. Nothing was sent.</source>
        <translation>该设备上报的硬件地址 %1 不能唯一确定一台设备。未发送任何内容。</translation>
    </message>
    <message>
        <location line="+13" />
        <source>The command could not be sent: the link-layer search is not running on %1. Search again on the card's interface.</source>
        <translation>命令无法发送：%1 上的链路层搜索未在运行。请在设备所在的网络接口上重新搜索。</translation>
    </message>
    <message>
        <location line="+2" />
        <source>any interface</source>
        <translation>任意接口</translation>
    </message>
</context>
<context>
    <name>DialogSetIP</name>
    <message>
        <location filename="../../discovery/dialogsetip.cpp" line="+77" />
        <source>Set IP Address</source>
        <translation>设置 IP 地址</translation>
    </message>
    <message>
        <location line="+1" />
        <source>Interface:</source>
        <translation>接口：</translation>
    </message>
    <message>
        <location line="+1" />
        <source>IP Address:</source>
        <translation>IP 地址：</translation>
    </message>
    <message>
        <location line="+1" />
        <source>Netmask:</source>
        <translation>子网掩码：</translation>
    </message>
    <message>
        <location line="+1" />
        <source>Gateway:</source>
        <translation>网关：</translation>
    </message>
    <message>
        <location line="+1" />
        <location line="+1" />
        <source>optional</source>
        <translation>可选</translation>
    </message>
    <message>
        <location line="+1" />
        <source>Sure</source>
        <translation>确定</translation>
    </message>
    <message>
        <location line="+41" />
        <location line="+4" />
        <location line="+4" />
        <source>Warning</source>
        <translation>警告</translation>
    </message>
    <message>
        <location line="-8" />
        <source>IP address is invalid!</source>
        <translation>IP 地址无效！</translation>
    </message>
    <message>
        <location line="+4" />
        <source>Netmask is invalid!</source>
        <translation>子网掩码无效！</translation>
    </message>
    <message>
        <location line="+4" />
        <source>Gateway is invalid!</source>
        <translation>网关无效！</translation>
    </message>
</context>
<context>
    <name>DialogPrompt</name>
    <message>
        <source>%1 already exists.
Do you want to replace it?</source>
        <translation>%1 已存在。
要替换它吗？</translation>
    </message>
    <message>
        <source>Saved to %1</source>
        <translation>已保存到 %1</translation>
    </message>
</context>
<context>
    <name>DisplayLogPage</name>
    <message>
        <source>Log file</source>
        <translation>日志文件</translation>
    </message>
    <message>
        <source>Log text</source>
        <translation>日志内容</translation>
    </message>
    <message>
        <location filename="../../pages/displaylogpage.cpp" line="+63" />
        <location line="+93" />
        <source>Close</source>
        <translation>关闭</translation>
    </message>
    <message>
        <location line="-93" />
        <location line="+26" />
        <source>Open</source>
        <translation>打开</translation>
    </message>
    <message>
        <location line="-25" />
        <source>Refresh log file</source>
        <translation>刷新日志文件</translation>
    </message>
    <message>
        <location line="+1" />
        <source>Clear</source>
        <translation>清空</translation>
    </message>
    <message>
        <location line="+28" />
        <source>Warning</source>
        <translation>警告</translation>
    </message>
    <message>
        <location line="+0" />
        <source>Log file error!</source>
        <translation>日志文件错误！</translation>
    </message>
    <message>
        <location line="+38" />
        <location line="+27" />
        <source>Information</source>
        <translation>信息</translation>
    </message>
    <message>
        <location line="-27" />
        <source>No log file is accessible!</source>
        <translation>没有可用的日志文件！</translation>
    </message>
    <message>
        <location line="+27" />
        <source>Open log file failed!</source>
        <translation>打开日志文件失败！</translation>
    </message>
</context>
<context>
    <name>FirmwarePackage</name>
    <message>
        <location filename="../../programming/firmwarepackage.cpp" line="+190" />
        <source>CRC</source>
        <translation>CRC</translation>
    </message>
    <message>
        <location line="+1" />
        <source>length</source>
        <translation>长度</translation>
    </message>
</context>
<context>
    <name>FixedParamPage</name>
    <message>
        <source>Fixed parameters</source>
        <translation>固定参数</translation>
    </message>
    <message>
        <location filename="../../pages/fixedparampage.cpp" line="+79" />
        <location line="+26" />
        <location line="+6" />
        <location line="+14" />
        <location line="+57" />
        <location line="+13" />
        <source>Warning</source>
        <translation>警告</translation>
    </message>
    <message>
        <location line="-116" />
        <source>Read data failed!</source>
        <translation>读取数据失败！</translation>
    </message>
    <message>
        <location line="+7" />
        <location line="+37" />
        <location line="+44" />
        <location line="+18" />
        <location line="+18" />
        <source>Information</source>
        <translation>信息</translation>
    </message>
    <message>
        <location line="-117" />
        <source>Read data finished!</source>
        <translation>读取数据完成！</translation>
    </message>
    <message>
        <location line="+19" />
        <source>Invaild settings!</source>
        <translation>参数设置无效！</translation>
    </message>
    <message>
        <location line="+7" />
        <source>There is item or value is empty! And these will no be set to device!
Do you want to continue?</source>
        <translation>存在项目或值为空！这些项不会写入设备！
是否继续？</translation>
    </message>
    <message>
        <location line="+2" />
        <source>Yes</source>
        <translation>是</translation>
    </message>
    <message>
        <location line="+0" />
        <source>No</source>
        <translation>否</translation>
    </message>
    <message>
        <location line="+9" />
        <source>Operation success!</source>
        <translation>操作成功！</translation>
    </message>
    <message>
        <location line="+2" />
        <source>Operation failed!</source>
        <translation>操作失败！</translation>
    </message>
    <message>
        <location line="+21" />
        <source>name</source>
        <translation>name</translation>
    </message>
    <message>
        <location line="+1" />
        <source>devserial</source>
        <translation>devserial</translation>
    </message>
    <message>
        <location line="+1" />
        <source>ethaddr</source>
        <translation>ethaddr</translation>
    </message>
    <message>
        <location line="+19" />
        <source>No content to backup!</source>
        <translation>没有可备份的内容！</translation>
    </message>
    <message>
        <location line="+4" />
        <source>Save fixed parameter file</source>
        <translation>保存固定参数文件</translation>
    </message>
    <message>
        <location line="+11" />
        <source>Save fixed parameter failed!</source>
        <translation>保存固定参数失败！</translation>
    </message>
    <message>
        <location line="+3" />
        <source>Save fixed parameter success!</source>
        <translation>保存固定参数成功！</translation>
    </message>
    <message>
        <location line="+6" />
        <source>Choose fixed parameter file</source>
        <translation>选择固定参数文件</translation>
    </message>
    <message>
        <location line="+4" />
        <source>Load fixed parameter failed!</source>
        <translation>加载固定参数失败！</translation>
    </message>
    <message>
        <location line="+8" />
        <source>Load fixed parameter success!</source>
        <translation>加载固定参数成功！</translation>
    </message>
    <message>
        <location filename="../../pages/ui_fixedparampage.cpp" line="+44" />
        <source>Item</source>
        <translation>项目</translation>
    </message>
    <message>
        <location line="+1" />
        <source>value</source>
        <translation>值</translation>
    </message>
    <message>
        <location line="+1" />
        <source>Backup</source>
        <translation>备份</translation>
    </message>
    <message>
        <location line="+1" />
        <source>Load</source>
        <translation>加载</translation>
    </message>
    <message>
        <location line="+1" />
        <source>Reset</source>
        <translation>重置</translation>
    </message>
    <message>
        <location line="+1" />
        <source>Add</source>
        <translation>添加</translation>
    </message>
    <message>
        <location line="+1" />
        <source>Read</source>
        <translation>读取</translation>
    </message>
    <message>
        <location line="+1" />
        <source>Write</source>
        <translation>写入</translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <source>Pages</source>
        <translation>页面</translation>
    </message>
    <message>
        <location filename="../../mainwindow/mainwindow.cpp" line="+182" />
        <location line="+4" />
        <location line="+24" />
        <source>Tip</source>
        <translation>提示</translation>
    </message>
    <message>
        <location line="-28" />
        <source>Device IP Address could not be null!</source>
        <translation>设备 IP 地址不能为空！</translation>
    </message>
    <message>
        <location line="+4" />
        <source>Device IP Address format error!</source>
        <translation>设备 IP 地址格式错误！</translation>
    </message>
    <message>
        <location line="+24" />
        <source>Connect to device failed, %1!</source>
        <translation>连接设备失败，%1！</translation>
    </message>
    <message>
        <location line="+14" />
        <source>Disconnect</source>
        <translation>断开</translation>
    </message>
    <message>
        <location line="+1" />
        <source>Connected to device</source>
        <translation>已连接设备</translation>
    </message>
    <message>
        <location line="+2" />
        <source>Connect</source>
        <translation>连接</translation>
    </message>
    <message>
        <location line="+1" />
        <source>Disconnect with device</source>
        <translation>未连接设备</translation>
    </message>
    <message>
        <location line="+13" />
        <source>Warning</source>
        <translation>警告</translation>
    </message>
    <message>
        <location line="+1" />
        <source>Are you sure to reboot device?</source>
        <translation>确定要重启设备吗？</translation>
    </message>
    <message>
        <location line="+46" />
        <source>Built on</source>
        <translation>构建于</translation>
    </message>
    <message>
        <location line="+2" />
        <source>This software is used for device programming and settings.</source>
        <translation>本软件用于设备的烧录与参数设置。</translation>
    </message>
    <message>
        <location line="+1" />
        <source>About Netquill</source>
        <translation>关于 Netquill</translation>
    </message>
    <message>
        <location line="+21" />
        <location filename="../../mainwindow/ui_mainwindow.cpp" line="+111" />
        <source>root</source>
        <translation>root</translation>
    </message>
    <message>
        <location filename="../../mainwindow/ui_mainwindow.cpp" line="-21" />
        <source>Netquill</source>
        <translation>Netquill</translation>
    </message>
    <message>
        <location line="+1" />
        <source>Tool</source>
        <translation>工具</translation>
    </message>
    <message>
        <location line="+1" />
        <source>Reboot Device</source>
        <translation>重启设备</translation>
    </message>
    <message>
        <location line="+1" />
        <source>Window</source>
        <translation>窗口</translation>
    </message>
    <message>
        <location line="+1" />
        <source>Font</source>
        <translation>字体</translation>
    </message>
    <message>
        <location line="+1" />
        <source>Language</source>
        <translation>语言</translation>
    </message>
    <message>
        <location line="+1" />
        <source>English</source>
        <translation>English</translation>
    </message>
    <message>
        <location line="+1" />
        <source>Chinese</source>
        <translation>中文</translation>
    </message>
    <message>
        <location line="+1" />
        <source>Help</source>
        <translation>帮助</translation>
    </message>
    <message>
        <location line="+1" />
        <source>About</source>
        <translation>关于</translation>
    </message>
    <message>
        <location line="+2" />
        <source>Programming</source>
        <translation>烧录</translation>
    </message>
    <message>
        <location line="+1" />
        <source>Settings</source>
        <translation>设备设置</translation>
    </message>
    <message>
        <location line="+1" />
        <source>Fixed Parameters</source>
        <translation>固定参数</translation>
    </message>
    <message>
        <location line="+1" />
        <source>Display Log</source>
        <translation>设备日志</translation>
    </message>
    <message>
        <location line="+1" />
        <source>Serial Port Test</source>
        <translation>串口测试</translation>
    </message>
    <message>
        <location line="+1" />
        <source>Device Search</source>
        <translation>设备搜索</translation>
    </message>
    <message>
        <location line="+6" />
        <source>Device IP:</source>
        <translation>设备 IP：</translation>
    </message>
    <message>
        <location line="+1" />
        <source>Clear history</source>
        <translation>清除历史</translation>
    </message>
</context>
<context>
    <name>MessageBox</name>
    <message>
        <location filename="../../app/messagebox.cpp" line="+20" />
        <source>Sure</source>
        <translation>确定</translation>
    </message>
</context>
<context>
    <name>PageRoot</name>
    <message>
        <location filename="../../pages/pageroot.cpp" line="+58" />
        <source>Form</source>
        <translation>控制台</translation>
    </message>
    <message>
        <location line="+1" />
        <source>Send Command</source>
        <translation>发送命令</translation>
    </message>
    <message>
        <location line="+1" />
        <source>Send</source>
        <translation>发送</translation>
    </message>
    <message>
        <location line="+28" />
        <source>Send: </source>
        <translation>发送：</translation>
    </message>
    <message>
        <location line="+9" />
        <source>Recv: </source>
        <translation>接收：</translation>
    </message>
</context>
<context>
    <name>ProgrammingPage</name>
    <message>
        <location filename="../../programming/ui_programmingpage.cpp" line="+109" />
        <source>Batch Programming</source>
        <translation>批量烧录</translation>
    </message>
    <message>
        <location filename="../../programming/programmingpage.cpp" line="+109" />
        <source>root</source>
        <translation>root</translation>
    </message>
    <message>
        <location line="+22" />
        <location line="+43" />
        <source>Tip</source>
        <translation>提示</translation>
    </message>
    <message>
        <location line="-43" />
        <source>Programming type is not chosen!</source>
        <translation>未选择烧录类型！</translation>
    </message>
    <message>
        <location line="+12" />
        <source>Choose programming file</source>
        <translation>选择烧录文件</translation>
    </message>
    <message>
        <location line="+0" />
        <source>Binary Files(*.bin);;*</source>
        <translation>二进制文件(*.bin);;*</translation>
    </message>
    <message>
        <location line="+31" />
        <source>Programming file is not choosen!</source>
        <translation>未选择烧录文件！</translation>
    </message>
    <message>
        <location line="+3" />
        <source>The file looks like a firmware package, but its check failed. Send it to the device unchanged?</source>
        <translation>该文件看似固件包，但其校验失败。是否原样发送到设备？</translation>
    </message>
    <message>
        <location line="+35" />
        <source>Installing program...</source>
        <translation>正在安装程序……</translation>
    </message>
    <message>
        <location line="+6" />
        <location line="+172" />
        <location line="+13" />
        <source>Information</source>
        <translation>信息</translation>
    </message>
    <message>
        <location line="-185" />
        <source>Programming finish!</source>
        <translation>烧录完成！</translation>
    </message>
    <message>
        <location line="+3" />
        <source>Backuping program...</source>
        <translation>正在备份程序……</translation>
    </message>
    <message>
        <location line="+34" />
        <location line="+82" />
        <location line="+7" />
        <location line="+9" />
        <location line="+5" />
        <location line="+13" />
        <location line="+13" />
        <source>Warning</source>
        <translation>警告</translation>
    </message>
    <message>
        <location line="-129" />
        <source>Open programming file failed!</source>
        <translation>打开烧录文件失败！</translation>
    </message>
    <message>
        <location line="+11" />
        <source>Start programming failed!</source>
        <translation>启动烧录失败！</translation>
    </message>
    <message>
        <location line="+6" />
        <source>Programming...</source>
        <translation>正在烧录……</translation>
    </message>
    <message>
        <location line="+14" />
        <location line="+22" />
        <location line="+95" />
        <source>Programming failed!</source>
        <translation>烧录失败！</translation>
    </message>
    <message>
        <location line="-66" />
        <source>Programming timeout!</source>
        <translation>烧录超时！</translation>
    </message>
    <message>
        <location line="+16" />
        <location line="+5" />
        <source>Start backup failed!</source>
        <translation>启动备份失败！</translation>
    </message>
    <message>
        <location line="+5" />
        <source>Backup program</source>
        <translation>备份程序</translation>
    </message>
    <message>
        <location line="+0" />
        <source>Binary File(*.bin)</source>
        <translation>二进制文件(*.bin)</translation>
    </message>
    <message>
        <location line="+8" />
        <source>Cannot open backup file!</source>
        <translation>无法打开备份文件！</translation>
    </message>
    <message>
        <location line="+4" />
        <source>Receiving backup file...</source>
        <translation>正在接收备份文件……</translation>
    </message>
    <message>
        <location line="+9" />
        <source>Backup file failed!</source>
        <translation>备份文件失败！</translation>
    </message>
    <message>
        <location line="+6" />
        <source>Backup file finished!</source>
        <translation>备份文件完成！</translation>
    </message>
    <message>
        <location line="+82" />
        <location line="+4" />
        <source>Progress: %1%</source>
        <translation>进度：%1%</translation>
    </message>
    <message>
        <location filename="../../programming/ui_programmingpage.cpp" line="-7" />
        <source>Programming type    :</source>
        <translation>烧录类型：</translation>
    </message>
    <message>
        <location line="+1" />
        <source>Backup</source>
        <translation>备份</translation>
    </message>
    <message>
        <location line="+1" />
        <source>Current version     :</source>
        <translation>当前版本：</translation>
    </message>
    <message>
        <location line="+1" />
        <source>Read</source>
        <translation>读取</translation>
    </message>
    <message>
        <location line="+1" />
        <source>Programming file    :</source>
        <translation>烧录文件：</translation>
    </message>
    <message>
        <location line="+1" />
        <source>Choose</source>
        <translation>选择</translation>
    </message>
    <message>
        <location line="+1" />
        <source>Programming</source>
        <translation>烧录</translation>
    </message>
    <message>
        <location line="+2" />
        <source>Programming progress:</source>
        <translation>烧录进度：</translation>
    </message>
    <message>
        <location line="+8" />
        <source>APP</source>
        <translation>应用程序</translation>
    </message>
    <message>
        <location line="+1" />
        <source>Firmware</source>
        <translation>固件</translation>
    </message>
    <message>
        <location line="+1" />
        <source>Patch</source>
        <translation>补丁</translation>
    </message>
    <message>
        <source>(no such file)</source>
        <translation>（文件不存在）</translation>
    </message>
    <message>
        <source>(%1 bytes)</source>
        <translation>（%1 字节）</translation>
    </message>
    <message>
        <source>(%1, %2 bytes)</source>
        <translation>（%1，%2 字节）</translation>
    </message>
    <message>
        <source>Chosen file</source>
        <translation>所选文件</translation>
    </message>
    <message>
        <source>Installing for</source>
        <translation>已安装时间</translation>
    </message>
</context>
<context>
    <name>SPTestPage</name>
    <message>
        <source>Data to send</source>
        <translation>待发送数据</translation>
    </message>
    <message>
        <source>Serial record</source>
        <translation>串口收发记录</translation>
    </message>
    <message>
        <location filename="../../pages/sptestpage.cpp" line="+213" />
        <source>RS485:</source>
        <translation>RS485：</translation>
    </message>
    <message>
        <location line="+1" />
        <source>Port Name:</source>
        <translation>串口名：</translation>
    </message>
    <message>
        <location line="+1" />
        <source>Buad Rate:</source>
        <translation>波特率：</translation>
    </message>
    <message>
        <location line="+1" />
        <source>Data Bits:</source>
        <translation>数据位：</translation>
    </message>
    <message>
        <location line="+1" />
        <source>Flow Control:</source>
        <translation>流控：</translation>
    </message>
    <message>
        <location line="+1" />
        <source>Parity:</source>
        <translation>校验位：</translation>
    </message>
    <message>
        <location line="+1" />
        <source>Stop Bits:</source>
        <translation>停止位：</translation>
    </message>
    <message>
        <location line="+1" />
        <source>Clear</source>
        <translation>清空</translation>
    </message>
    <message>
        <location line="+1" />
        <source>Hex</source>
        <translation>十六进制</translation>
    </message>
    <message>
        <location line="+1" />
        <source>ASCII</source>
        <translation>ASCII</translation>
    </message>
    <message>
        <location line="+1" />
        <source>Modbus</source>
        <translation>Modbus</translation>
    </message>
    <message>
        <location line="+1" />
        <source>Send</source>
        <translation>发送</translation>
    </message>
    <message>
        <location line="+9" />
        <location line="+1" />
        <source>None</source>
        <translation>无</translation>
    </message>
    <message>
        <location line="-1" />
        <source>Hardware</source>
        <translation>硬件</translation>
    </message>
    <message>
        <location line="+0" />
        <source>Software</source>
        <translation>软件</translation>
    </message>
    <message>
        <location line="+1" />
        <source>Even</source>
        <translation>偶校验</translation>
    </message>
    <message>
        <location line="+0" />
        <source>Odd</source>
        <translation>奇校验</translation>
    </message>
    <message>
        <location line="+13" />
        <source>Disconnect</source>
        <translation>断开</translation>
    </message>
    <message>
        <location line="+0" />
        <source>Connect</source>
        <translation>连接</translation>
    </message>
    <message>
        <location line="+43" />
        <location line="+38" />
        <location line="+8" />
        <source>Warning</source>
        <translation>警告</translation>
    </message>
    <message>
        <location line="-46" />
        <source>Port not opened!</source>
        <translation>串口未打开！</translation>
    </message>
    <message>
        <location line="+9" />
        <source>Send: 
</source>
        <translation>发送：
</translation>
    </message>
    <message>
        <location line="+29" />
        <source>Open device's serial port failed!</source>
        <translation>打开设备串口失败！</translation>
    </message>
    <message>
        <location line="+8" />
        <source>Send data to device's serial port failed!</source>
        <translation>向设备串口发送数据失败！</translation>
    </message>
    <message>
        <location line="+5" />
        <source>Receive: 
</source>
        <translation>接收：
</translation>
    </message>
</context>
<context>
    <name>SettingsPage</name>
    <message>
        <location filename="../../pages/settingspage.cpp" line="+73" />
        <location line="+60" />
        <source>Warning</source>
        <translation>警告</translation>
    </message>
    <message>
        <location line="-60" />
        <source>Port settings error!</source>
        <translation>端口设置错误！</translation>
    </message>
    <message>
        <location line="+6" />
        <location line="+43" />
        <location line="+9" />
        <source>Information</source>
        <translation>信息</translation>
    </message>
    <message>
        <location line="-52" />
        <source>Writing data...</source>
        <translation>正在写入数据……</translation>
    </message>
    <message>
        <location line="+24" />
        <location line="+10" />
        <source>Tip</source>
        <translation>提示</translation>
    </message>
    <message>
        <location line="-10" />
        <source>Read date failed!</source>
        <translation>读取日期失败！</translation>
    </message>
    <message>
        <location line="+10" />
        <source>Read data failed!</source>
        <translation>读取数据失败！</translation>
    </message>
    <message>
        <location line="+9" />
        <source>Read data finished!</source>
        <translation>读取数据完成！</translation>
    </message>
    <message>
        <location line="+9" />
        <source>Operation success!</source>
        <translation>操作成功！</translation>
    </message>
    <message>
        <location line="+2" />
        <source>Operation failed!</source>
        <translation>操作失败！</translation>
    </message>
    <message>
        <location filename="../../pages/ui_settingpage.cpp" line="+25" />
        <source>SSH</source>
        <translation>SSH</translation>
    </message>
    <message>
        <location line="+1" />
        <source>Telnet</source>
        <translation>Telnet</translation>
    </message>
    <message>
        <location line="+1" />
        <source>HTTP</source>
        <translation>HTTP</translation>
    </message>
    <message>
        <location line="+1" />
        <source>HTTPS</source>
        <translation>HTTPS</translation>
    </message>
    <message>
        <location line="+110" />
        <source>Date settings</source>
        <translation>日期设置</translation>
    </message>
    <message>
        <location line="+1" />
        <source>Date:</source>
        <translation>日期：</translation>
    </message>
    <message>
        <location line="+1" />
        <source>Device date</source>
        <translation>读取设备日期</translation>
    </message>
    <message>
        <location line="+1" />
        <source>Sync date</source>
        <translation>同步日期</translation>
    </message>
    <message>
        <location line="+2" />
        <source>Port settings</source>
        <translation>端口设置</translation>
    </message>
    <message>
        <location line="+1" />
        <source>Item</source>
        <translation>项目</translation>
    </message>
    <message>
        <location line="+1" />
        <source>Enable</source>
        <translation>启用</translation>
    </message>
    <message>
        <location line="+1" />
        <source>Port</source>
        <translation>端口</translation>
    </message>
    <message>
        <location line="+9" />
        <source>1~65534</source>
        <translation>1~65534</translation>
    </message>
    <message>
        <location line="+2" />
        <source>Read</source>
        <translation>读取</translation>
    </message>
    <message>
        <location line="+1" />
        <source>Write</source>
        <translation>写入</translation>
    </message>
</context>
<context>
    <name>StartUp</name>
    <message>
        <location filename="../../app/main.cpp" line="+37" />
        <source>Netquill keeps its settings in %1, which cannot be created.</source>
        <translation>Netquill 将设置保存在 %1，但无法创建该文件夹。</translation>
    </message>
</context>
<context>
    <name>Journal</name>
    <message>
        <source>link-layer answer</source>
        <translation>链路层应答</translation>
    </message>
    <message>
        <source>set IP settings (link layer)</source>
        <translation>设置 IP（链路层）</translation>
    </message>
    <message>
        <source>reboot (link layer)</source>
        <translation>重启（链路层）</translation>
    </message>
    <message>
        <source>not sent</source>
        <translation>未发送</translation>
    </message>
    <message>
        <source>connect</source>
        <translation>连接</translation>
    </message>
    <message>
        <source>connection closed</source>
        <translation>连接已关闭</translation>
    </message>
    <message>
        <source>image chunks: %1 sent (%2 bytes), %3 acknowledged</source>
        <translation>镜像数据块：已发送 %1 个（%2 字节），已确认 %3 个</translation>
    </message>
    <message>
        <source>backup data: %1 requests, %2 of %3 bytes received</source>
        <translation>备份数据：请求 %1 次，已收到 %2 / %3 字节</translation>
    </message>
    <message>
        <source>backup data: %1 requests, %2 bytes received</source>
        <translation>备份数据：请求 %1 次，已收到 %2 字节</translation>
    </message>
    <message>
        <source>read version</source>
        <translation>读取版本</translation>
    </message>
    <message>
        <source>version</source>
        <translation>版本</translation>
    </message>
    <message>
        <source>reboot</source>
        <translation>重启</translation>
    </message>
    <message>
        <source>IP settings reply</source>
        <translation>IP 设置应答</translation>
    </message>
    <message>
        <source>IP settings set</source>
        <translation>IP 设置已设定</translation>
    </message>
    <message>
        <source>IP settings reset</source>
        <translation>IP 设置已重置</translation>
    </message>
    <message>
        <source>read date</source>
        <translation>读取日期</translation>
    </message>
    <message>
        <source>date</source>
        <translation>日期</translation>
    </message>
    <message>
        <source>set date</source>
        <translation>设置日期</translation>
    </message>
    <message>
        <source>date set</source>
        <translation>日期已设置</translation>
    </message>
    <message>
        <source>list logs</source>
        <translation>列出日志</translation>
    </message>
    <message>
        <source>log list</source>
        <translation>日志列表</translation>
    </message>
    <message>
        <source>open or close log</source>
        <translation>打开或关闭日志</translation>
    </message>
    <message>
        <source>log opened or closed</source>
        <translation>日志已打开或关闭</translation>
    </message>
    <message>
        <source>log text</source>
        <translation>日志文本</translation>
    </message>
    <message>
        <source>open or close serial port</source>
        <translation>打开或关闭串口</translation>
    </message>
    <message>
        <source>serial port opened or closed</source>
        <translation>串口已打开或关闭</translation>
    </message>
    <message>
        <source>send to serial port</source>
        <translation>发送到串口</translation>
    </message>
    <message>
        <source>serial data sent</source>
        <translation>串口数据已发送</translation>
    </message>
    <message>
        <source>serial data received</source>
        <translation>串口收到数据</translation>
    </message>
    <message>
        <source>read fixed parameters</source>
        <translation>读取固定参数</translation>
    </message>
    <message>
        <source>fixed parameters</source>
        <translation>固定参数</translation>
    </message>
    <message>
        <source>write fixed parameters</source>
        <translation>写入固定参数</translation>
    </message>
    <message>
        <source>fixed parameters written</source>
        <translation>固定参数已写入</translation>
    </message>
    <message>
        <source>read ports</source>
        <translation>读取端口</translation>
    </message>
    <message>
        <source>ports</source>
        <translation>端口</translation>
    </message>
    <message>
        <source>write ports</source>
        <translation>写入端口</translation>
    </message>
    <message>
        <source>ports written</source>
        <translation>端口已写入</translation>
    </message>
    <message>
        <source>console command</source>
        <translation>控制台命令</translation>
    </message>
    <message>
        <source>console answer</source>
        <translation>控制台应答</translation>
    </message>
    <message>
        <source>start programming %1, %2 bytes</source>
        <translation>开始烧写 %1，%2 字节</translation>
    </message>
    <message>
        <source>start programming</source>
        <translation>开始烧写</translation>
    </message>
    <message>
        <source>image chunk</source>
        <translation>镜像数据块</translation>
    </message>
    <message>
        <source>installing</source>
        <translation>正在安装</translation>
    </message>
    <message>
        <source>programming finished</source>
        <translation>烧写完成</translation>
    </message>
    <message>
        <source>backup being prepared</source>
        <translation>正在准备备份</translation>
    </message>
    <message>
        <source>backup size %1 bytes</source>
        <translation>备份大小 %1 字节</translation>
    </message>
    <message>
        <source>backup size</source>
        <translation>备份大小</translation>
    </message>
    <message>
        <source>start backup</source>
        <translation>开始备份</translation>
    </message>
    <message>
        <source>backup data</source>
        <translation>备份数据</translation>
    </message>
    <message>
        <source>unknown code</source>
        <translation>未知命令码</translation>
    </message>
    <message>
        <source>(%1 frames, %2 bytes)</source>
        <translation>（%1 帧，%2 字节）</translation>
    </message>
    <message>
        <source>connected</source>
        <translation>已连接</translation>
    </message>
    <message>
        <source>failed: %1</source>
        <translation>失败：%1</translation>
    </message>
    <message>
        <source>closed</source>
        <translation>已关闭</translation>
    </message>
    <message>
        <source>in progress</source>
        <translation>进行中</translation>
    </message>
    <message>
        <source>completed</source>
        <translation>已完成</translation>
    </message>
    <message>
        <source>refused at chunk %1</source>
        <translation>第 %1 块被拒绝</translation>
    </message>
    <message>
        <source>connection lost</source>
        <translation>连接丢失</translation>
    </message>
    <message>
        <source>send failed</source>
        <translation>发送失败</translation>
    </message>
    <message>
        <source>stopped</source>
        <translation>已停止</translation>
    </message>
    <message>
        <source>sent</source>
        <translation>已发送</translation>
    </message>
    <message>
        <source>not sent: not connected</source>
        <translation>未发送：未连接</translation>
    </message>
    <message>
        <source>failure</source>
        <translation>失败</translation>
    </message>
    <message>
        <source>success</source>
        <translation>成功</translation>
    </message>
    <message>
        <source>received</source>
        <translation>已收到</translation>
    </message>
    <message>
        <source>Time</source>
        <translation>时间</translation>
    </message>
    <message>
        <source>Card</source>
        <translation>设备</translation>
    </message>
    <message>
        <source>Code</source>
        <translation>命令码</translation>
    </message>
    <message>
        <source>Direction</source>
        <translation>方向</translation>
    </message>
    <message>
        <source>Meaning</source>
        <translation>含义</translation>
    </message>
    <message>
        <source>Result</source>
        <translation>结果</translation>
    </message>
    <message>
        <source>(%1 earlier entries dropped)</source>
        <translation>（已丢弃较早的 %1 条记录）</translation>
    </message>
    <message>
        <source>to card</source>
        <translation>发往设备</translation>
    </message>
    <message>
        <source>from card</source>
        <translation>来自设备</translation>
    </message>
    <message>
        <source>link</source>
        <translation>连接</translation>
    </message>
</context>
<context>
    <name>JournalView</name>
    <message>
        <source>Journal</source>
        <translation>会话记录</translation>
    </message>
    <message>
        <source>Save</source>
        <translation>保存</translation>
    </message>
    <message>
        <source>Save journal</source>
        <translation>保存会话记录</translation>
    </message>
    <message>
        <source>Text files (*.txt)</source>
        <translation>文本文件 (*.txt)</translation>
    </message>
    <message>
        <source>Warning</source>
        <translation>警告</translation>
    </message>
    <message>
        <source>The journal could not be saved to %1: %2</source>
        <translation>会话记录无法保存到 %1：%2</translation>
    </message>
    <message>
        <source>Information</source>
        <translation>信息</translation>
    </message>
    <message>
        <source>Journal saved to %1</source>
        <translation>会话记录已保存到 %1</translation>
    </message>
</context>
</TS>
