#pragma once
// Helpers shared by the Windows layers, and the one place that includes the Windows headers.
#include <cstdint>
#include <string>
#include <string_view>

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

namespace zelo::os {

// The system's text for a Windows or Winsock error code, without the trailing line break and full stop.
std::string SystemErrorText(std::uint32_t code);

// True for the errors with which a serial port that was pulled, or whose driver went away, fails its reads,
// its writes and ClearCommError: the link is lost, and waiting for an answer would only delay saying so.
bool MeansPortGone(std::uint32_t error);

// What the port list shows for a USB adapter: the maker and the device's friendly name without the port it
// names ("FTDI" and "USB Serial Port (COM3)" give "FTDI USB Serial Port"); the maker once only.
std::string UsbPortDescription(const std::string& maker, const std::string& friendlyName);

// A UTF-8 name as the wide (W) functions take it, and a wide text back in UTF-8. Every name the program
// hands to Windows goes through WideText: the ANSI code page cannot hold most of the world's letters.
// Broken UTF-8 becomes U+FFFD rather than nothing: the rest of the text stays readable.
std::wstring WideText(std::string_view utf8);
std::string Utf8Text(std::wstring_view wide);

// Starts Windows Sockets once for the program (on first use); raises Exception when it cannot.
void StartWinsock();

// The number n of a device name "COMn" with n from 1 to 65534; 0 for every other name (65535 names no port).
int ComPortNumber(const std::string& device);

} // namespace zelo::os
