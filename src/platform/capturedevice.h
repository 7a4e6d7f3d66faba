#pragma once

#include <QString>

// The capture device of the packet-capture library for the network adapter
// the technician chose. The adapter is given by the name the platform's
// interface list reports (QNetworkInterface::name()) and by its hardware
// address text (six upper-case hexadecimal fields separated by ":").
// Returns an empty text when there is no such adapter.
//
// Linux (capturedevice_linux.cpp): libpcap names its devices after the
// kernel's interfaces (eth0, enp3s0, wlan0, a veth end), which is also what
// QNetworkInterface::name() gives. So the device is the interface the page
// chose, by name, as long as the kernel still has it. The hardware address
// is only a fallback when no name is given: on Linux several interfaces may
// share one hardware address (VLAN sub-interfaces, a bridge and its ports,
// the members of a bond), and a lookup by address alone would capture on the
// first of them rather than the one chosen.
//
// Windows (a capturedevice_win.cpp beside it): the adapters come from the IP
// Helper's GetAdaptersInfo; the first adapter whose address, formatted as
// above, equals the given text gives "\Device\NPF_" followed by its adapter
// name.
QString captureDeviceName(const QString& interfaceName, const QString& hardwareAddress);
