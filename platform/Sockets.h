// Thin layer over the operating system's TCP sockets: name resolution, a
// non-blocking stream socket, a connect whose completion is awaited, and waits
// for readiness bounded in milliseconds. Error values are the platform's own
// (errno values; resolver errors are the resolver's EAI_* codes).
#pragma once

#include <cstddef>

namespace platform {

using SocketHandle = int;
inline constexpr SocketHandle kInvalidSocket = -1;

// Opaque list of addresses returned by ResolveHost; release with FreeAddressList.
struct AddressList;

// Resolves host and service (port as decimal text): any family, stream sockets.
// Returns 0 and the list, or the resolver's error code (never 0).
int ResolveHost(const char* host, const char* service, AddressList** list);
void FreeAddressList(AddressList* list);
// Number of entries, for diagnostics and tests.
std::size_t AddressCount(const AddressList* list);

// Creates a non-blocking, close-on-exec stream socket for the first address of
// the list. Returns kInvalidSocket and sets *error on failure.
SocketHandle CreateSocketFor(const AddressList* list, int* error);

// Starts connecting to the first address. Returns 0 when connected at once,
// kConnectPending when the connection completes later, else the error.
inline constexpr int kConnectPending = -1;
int StartConnect(SocketHandle socket, const AddressList* list);

// Waits until the socket is readable / writable. Returns 1 when ready, 0 on a
// time-out, or -errno on failure. A hang-up or socket error counts as ready.
int WaitReadable(SocketHandle socket, int timeoutMs);
int WaitWritable(SocketHandle socket, int timeoutMs);

// The pending error of a socket (SO_ERROR): 0 when the connect succeeded.
int PendingError(SocketHandle socket);

// One non-blocking send / receive. Return bytes moved (>= 0), or -errno.
// Sending never raises SIGPIPE. kWouldBlock (as -errno) means try after a wait.
struct ConstBuffer {
  const void* data;
  std::size_t length;
};
long SendSome(SocketHandle socket, const ConstBuffer* buffers, std::size_t count);
long ReceiveSome(SocketHandle socket, void* buffer, std::size_t length);
bool IsWouldBlock(int negativeErrno);

// Disables (true) or enables (false) the coalescing of small writes (Nagle).
bool SetNoDelay(SocketHandle socket, bool noDelay, int* error);

void CloseSocket(SocketHandle socket);

}  // namespace platform
