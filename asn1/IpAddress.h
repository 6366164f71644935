// Dotted IPv4 address text (first field in the top byte).
#pragma once

#include <cstdint>
#include <string>

constexpr uint32_t IP_ADDRESS_FAILURE = 0xFFFFFFFF;

// Parses "a.b.c.d"; 0xFFFFFFFF (logged) on failure. An empty field counts as 0.
uint32_t IpAddress(const wchar_t* text);
uint32_t IpAddress(const std::wstring& text);
// "%d.%d.%d.%d", top byte first.
std::wstring FormatIpAddress(uint32_t address);
