#include "platform/system/Sockets.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <unistd.h>

#include <atomic>
#include <charconv>
#include <cstdio>
#include <cstring>

#include "platform/system/LastError.h"
#include "platform/system/Machine.h"

namespace win {

namespace {

std::atomic<int> g_started{0};
thread_local int t_wsaError = 0;

// The entry handed out by gethostbyname, per thread as Windows keeps it.
struct HostEntry {
  std::string name;
  std::vector<std::uint32_t> addrs;
  std::vector<char*> addrPtrs;
  char* aliases[1] = {nullptr};
  hostent entry{};
};
thread_local HostEntry t_host;
thread_local char t_ntoa[16];

int SetWsaError(int e) {
  t_wsaError = e;
  SetLastError(DWORD(e));
  return e;
}

hostent* Fill(const std::string& name, const std::vector<std::uint32_t>& addrs) {
  HostEntry& h = t_host;
  h.name = name;
  h.addrs = addrs;
  h.addrPtrs.clear();
  for (auto& a : h.addrs) h.addrPtrs.push_back(reinterpret_cast<char*>(&a));
  h.addrPtrs.push_back(nullptr);
  h.entry.h_name = h.name.data();
  h.entry.h_aliases = h.aliases;
  h.entry.h_addrtype = AF_INET_;
  h.entry.h_length = 4;
  h.entry.h_addr_list = h.addrPtrs.data();
  return &h.entry;
}

}  // namespace

bool ParseIPv4(std::string_view dotted, std::uint32_t& address) {
  std::uint8_t bytes[4];
  const char* at = dotted.data();
  const char* end = at + dotted.size();
  for (int i = 0; i < 4; ++i) {
    if (i > 0 && (at == end || *at++ != '.')) return false;
    unsigned n = 0;
    auto [next, error] = std::from_chars(at, end, n);
    if (error != std::errc() || n > 255) return false;
    bytes[i] = std::uint8_t(n);
    at = next;
  }
  if (at != end) return false;
  std::memcpy(&address, bytes, 4);
  return true;
}

std::string MachineHostName() {
  const std::string& configured = Machine::Current().Settings().hostName;
  if (!configured.empty()) return configured;
  char buf[256] = {};
  if (::gethostname(buf, sizeof buf - 1) != 0) return "localhost";
  std::string n = buf;
  // Windows gives the bare computer name, without the domain.
  if (size_t dot = n.find('.'); dot != std::string::npos) n.erase(dot);
  return n;
}

std::vector<std::string> MachineIPv4Addresses() {
  const auto& configured = Machine::Current().Settings().ipv4;
  if (configured) return *configured;
  std::vector<std::string> out;
  ifaddrs* list = nullptr;
  if (::getifaddrs(&list) != 0) return out;
  for (ifaddrs* i = list; i; i = i->ifa_next) {
    if (!i->ifa_addr || i->ifa_addr->sa_family != AF_INET) continue;
    if ((i->ifa_flags & IFF_LOOPBACK) || !(i->ifa_flags & IFF_UP)) continue;
    char text[INET_ADDRSTRLEN] = {};
    auto* sin = reinterpret_cast<sockaddr_in*>(i->ifa_addr);
    if (!::inet_ntop(AF_INET, &sin->sin_addr, text, sizeof text)) continue;
    if (std::strncmp(text, "127.", 4) == 0) continue;
    out.push_back(text);
  }
  ::freeifaddrs(list);
  return out;
}

int WSAStartup(WORD version, WSADATA* data) {
  BYTE major = BYTE(version & 0xFF), minor = BYTE(version >> 8);
  if (major < 1) {
    if (data) data->wVersion = data->wHighVersion = MAKEWORD(2, 2);
    return SetWsaError(WSAVERNOTSUPPORTED);
  }
  if (!data) return SetWsaError(WSAEFAULT);
  *data = WSADATA{};
  // The highest version the layer has that the caller can take.
  data->wVersion = (major > 2 || (major == 2 && minor > 2)) ? MAKEWORD(2, 2) : version;
  data->wHighVersion = MAKEWORD(2, 2);
  std::strcpy(data->szDescription, "WinSock 2.0");
  std::strcpy(data->szSystemStatus, "Running");
  data->iMaxSockets = 0;
  data->iMaxUdpDg = 0;
  ++g_started;
  t_wsaError = 0;
  return 0;
}

int WSACleanup() {
  int n = g_started.load();
  while (n > 0 && !g_started.compare_exchange_weak(n, n - 1)) {
  }
  if (n <= 0) {
    SetWsaError(WSANOTINITIALISED);
    return SOCKET_ERROR;
  }
  return 0;
}

int WSAGetLastError() { return t_wsaError; }

int gethostname(char* name, int length) {
  if (g_started <= 0) {
    SetWsaError(WSANOTINITIALISED);
    return SOCKET_ERROR;
  }
  try {
    std::string n = MachineHostName();
    if (!name || length <= 0 || size_t(length) <= n.size()) {
      SetWsaError(WSAEFAULT);
      return SOCKET_ERROR;
    }
    std::memcpy(name, n.c_str(), n.size() + 1);
    return 0;
  } catch (const std::exception&) {
    SetWsaError(WSAEFAULT);
    return SOCKET_ERROR;
  }
}

hostent* gethostbyname(const char* name) {
  if (g_started <= 0) {
    SetWsaError(WSANOTINITIALISED);
    return nullptr;
  }
  try {
    std::string n = name ? name : "";
    std::uint32_t addr = 0;
    if (!n.empty() && ParseIPv4(n, addr)) return Fill(n, {addr});
    std::string host = MachineHostName();
    if (n.empty() || SameText(n, host)) {
      std::vector<std::uint32_t> addrs;
      for (auto& a : MachineIPv4Addresses())
        if (ParseIPv4(a, addr)) addrs.push_back(addr);
      return Fill(host, addrs);
    }
    if (SameText(n, "localhost")) {
      ParseIPv4("127.0.0.1", addr);
      return Fill("localhost", {addr});
    }
  } catch (const std::exception&) {
  }
  SetWsaError(WSAHOST_NOT_FOUND);
  return nullptr;
}

char* inet_ntoa(in_addr address) {
  std::uint8_t b[4];
  std::memcpy(b, &address.S_addr, 4);
  std::snprintf(t_ntoa, sizeof t_ntoa, "%u.%u.%u.%u", b[0], b[1], b[2], b[3]);
  return t_ntoa;
}

std::uint32_t inet_addr(const char* dotted) {
  std::uint32_t out = 0;
  if (!dotted || !ParseIPv4(dotted, out)) return 0xFFFFFFFFu;
  return out;
}

}  // namespace win
