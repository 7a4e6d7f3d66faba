# Runs when installing (cmake --install, cpack): makes the files that come from
# the built programs and installs them. The variables are set by the
# install(CODE) before it in CMakeLists.txt.

set(_work "${NETQUILL_WORK_DIR}")
file(MAKE_DIRECTORY "${_work}/man" "${_work}/icons" "${_work}/doc")

function(_netquill_run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE _rc OUTPUT_VARIABLE _out ERROR_VARIABLE _err)
  if(NOT _rc EQUAL 0)
    string(REPLACE ";" " " _command "${ARGN}")
    message(FATAL_ERROR "${_command} failed (${_rc}):\n${_out}${_err}")
  endif()
  set(_netquill_output "${_out}" PARENT_SCOPE)
endfunction()

function(_netquill_need tool package)
  find_program(_netquill_found_${tool} ${tool})
  if(NOT _netquill_found_${tool})
    message(FATAL_ERROR "Installing Netquill needs ${tool} (Debian package ${package}): scripts/setup-deps.sh package")
  endif()
endfunction()
_netquill_need(help2man help2man)
_netquill_need(gzip gzip)
_netquill_need(convert imagemagick)
_netquill_need(identify imagemagick)

# ---- manual pages ------------------------------------------------------
# The programs run by name from their build folder, so that their usage
# lines name them as a reader types them.
set(_env ${CMAKE_COMMAND} -E env "PATH=${NETQUILL_PROGRAM_DIR}:$ENV{PATH}" LC_ALL=C.UTF-8 QT_QPA_PLATFORM=offscreen)

# netquill-cli: the usage, then every command's own help.
_netquill_run(${_env} netquill-cli --help)
string(REGEX MATCHALL "\n  netquill-cli [a-z-]+" _lines "${_netquill_output}")
set(_cli_include "[COMMANDS]\n")
foreach(_line IN LISTS _lines)
  string(REGEX REPLACE ".* " "" _command "${_line}")
  _netquill_run(${_env} netquill-cli ${_command} --help)
  # Plain text inside roff: backslashes escaped, no line read as a request.
  string(REPLACE "\\" "\\e" _help "${_netquill_output}")
  string(REGEX REPLACE "(^|\n)([.'])" "\\1\\\\&\\2" _help "${_help}")
  # The default of --jobs is the processor threads of the PC that runs it,
  # not of the one that built the package.
  string(REGEX REPLACE "default [0-9]+, the([ \n]+)processor threads" "default: the\\1processor threads" _help
    "${_help}")
  string(APPEND _cli_include ".SS ${_command}\n.nf\n${_help}.fi\n")
endforeach()
file(READ "${NETQUILL_PACKAGING_DIR}/netquill-cli.h2m" _tail)
file(WRITE "${_work}/netquill-cli.h2m" "${_cli_include}${_tail}")

set(_man_files)
function(_netquill_manpage program name include)
  set(_out "${_work}/man/${program}.1")
  _netquill_run(${_env} help2man --no-info --section=1 "--name=${name}" "--include=${include}" ${ARGN}
    "--output=${_out}" ${program})
  _netquill_run(gzip -9nf "${_out}")
  set(_man_files ${_man_files} "${_out}.gz" PARENT_SCOPE)
endfunction()
_netquill_manpage(netquill "maintain network-management cards" "${NETQUILL_PACKAGING_DIR}/netquill.h2m")
_netquill_manpage(netquill-cli "card operations of Netquill from scripts and a terminal"
  "${_work}/netquill-cli.h2m")
# netquill-cardsim's own --version sets the version its cards report.
_netquill_manpage(netquill-cardsim "simulated network-management cards on loopback"
  "${NETQUILL_PACKAGING_DIR}/netquill-cardsim.h2m" "--version-string=${NETQUILL_VERSION}")
file(INSTALL DESTINATION "${CMAKE_INSTALL_PREFIX}/${NETQUILL_MANDIR}/man1" TYPE FILE FILES ${_man_files})

# ---- icons -------------------------------------------------------------
_netquill_run(identify -format "%w\n" "${NETQUILL_ICON}")
string(STRIP "${_netquill_output}" _sizes)
string(REPLACE "\n" ";" _sizes "${_sizes}")
set(_index 0)
foreach(_size IN LISTS _sizes)
  set(_png "${_work}/icons/${_size}x${_size}/netquill.png")
  file(MAKE_DIRECTORY "${_work}/icons/${_size}x${_size}")
  # No time stamps in the PNG: the same sources give the same package.
  _netquill_run(convert "${NETQUILL_ICON}[${_index}]" -strip -define png:exclude-chunks=date,time "${_png}")
  file(INSTALL DESTINATION "${CMAKE_INSTALL_PREFIX}/${NETQUILL_DATAROOTDIR}/icons/hicolor/${_size}x${_size}/apps"
    TYPE FILE FILES "${_png}")
  math(EXPR _index "${_index} + 1")
endforeach()

# ---- changelog ---------------------------------------------------------
# One entry for the version being packaged, dated by SOURCE_DATE_EPOCH when it
# is set.
string(TIMESTAMP _date "%a, %d %b %Y %H:%M:%S +0000" UTC)
file(WRITE "${_work}/doc/changelog"
  "netquill (${NETQUILL_VERSION}) stable; urgency=medium\n\n  * Netquill ${NETQUILL_VERSION}.\n\n"
  " -- ${NETQUILL_MAINTAINER}  ${_date}\n")
_netquill_run(gzip -9nf "${_work}/doc/changelog")
file(INSTALL DESTINATION "${CMAKE_INSTALL_PREFIX}/${NETQUILL_DOCDIR}" TYPE FILE FILES "${_work}/doc/changelog.gz")
