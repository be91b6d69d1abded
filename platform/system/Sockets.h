#pragma once
// The sockets layer, as far as programs ask for the host's name and IPv4 addresses. The
// name is machine.ini's host= or the real host's; the addresses are machine.ini's ipv4=
// (possibly none) or the real host's non-loopback IPv4 addresses. gethostname,
// gethostbyname and inet_ntoa share their names with the host's C library: call them
// qualified (win::gethostname), or the host's own may be chosen.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/system/WinTypes.h"

namespace win {

inline constexpr int SOCKET_ERROR = -1;
inline constexpr int WSAEFAULT = 10014;
inline constexpr int WSAEINVAL = 10022;
inline constexpr int WSAVERNOTSUPPORTED = 10092;
inline constexpr int WSANOTINITIALISED = 10093;
inline constexpr int WSAHOST_NOT_FOUND = 11001;
inline constexpr int AF_INET_ = 2;  // AF_INET, named apart from the host's macro

constexpr WORD MAKEWORD(BYTE low, BYTE high) { return WORD(low | (WORD(high) << 8)); }

struct WSADATA {
  WORD wVersion = 0;
  WORD wHighVersion = 0;
  char szDescription[257] = {};
  char szSystemStatus[129] = {};
  unsigned short iMaxSockets = 0;
  unsigned short iMaxUdpDg = 0;
  char* lpVendorInfo = nullptr;
};

struct in_addr {
  std::uint32_t S_addr;  // network byte order
};

struct hostent {
  char* h_name;
  char** h_aliases;
  short h_addrtype;
  short h_length;
  char** h_addr_list;  // null-terminated list of 4-byte addresses
};

// Versions 1.0 to 2.2; 0 on success, else the error (WSAVERNOTSUPPORTED below 1.0).
int WSAStartup(WORD versionRequested, WSADATA* data);
int WSACleanup();
int WSAGetLastError();
// 0, or SOCKET_ERROR (WSAEFAULT for a buffer too small, WSANOTINITIALISED).
int gethostname(char* name, int length);
// This host's name (any case) or "localhost", or a dotted address. The entry belongs to
// the calling thread and stays valid until its next call. Null with WSAHOST_NOT_FOUND.
hostent* gethostbyname(const char* name);
// The dotted form; the buffer belongs to the calling thread.
char* inet_ntoa(in_addr address);
std::uint32_t inet_addr(const char* dotted);  // INADDR_NONE (0xFFFFFFFF) when malformed

// The machine's host name and IPv4 addresses in dotted form (what the calls above serve).
std::string MachineHostName();
std::vector<std::string> MachineIPv4Addresses();
// An address written a.b.c.d, four decimal numbers up to 255 and nothing else (no sign, no
// space): its bytes in network order in `address`; false for any other text.
bool ParseIPv4(std::string_view dotted, std::uint32_t& address);

}  // namespace win
