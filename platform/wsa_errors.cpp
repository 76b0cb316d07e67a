#include "platform/wsa_errors.h"

#include <cerrno>
#include <utility>

namespace kolu {
namespace {

constexpr std::pair<int, int> kPairs[] = {
    {EINTR, kWsaEintr},
    {EBADF, kWsaEbadf},
    {EACCES, kWsaEacces},
    {EFAULT, kWsaEfault},
    {EINVAL, kWsaEinval},
    {EMFILE, kWsaEmfile},
    {EWOULDBLOCK, kWsaEwouldblock},
    {EINPROGRESS, kWsaEinprogress},
    {EALREADY, kWsaEalready},
    {ENOTSOCK, kWsaEnotsock},
    {EDESTADDRREQ, kWsaEdestaddrreq},
    {EMSGSIZE, kWsaEmsgsize},
    {EPROTONOSUPPORT, kWsaEprotonosupport},
    {EOPNOTSUPP, kWsaEopnotsupp},
    {EAFNOSUPPORT, kWsaEafnosupport},
    {EADDRINUSE, kWsaEaddrinuse},
    {EADDRNOTAVAIL, kWsaEaddrnotavail},
    {ENETDOWN, kWsaEnetdown},
    {ENETUNREACH, kWsaEnetunreach},
    {ENETRESET, kWsaEnetreset},
    {ECONNABORTED, kWsaEconnaborted},
    {ECONNRESET, kWsaEconnreset},
    {EPIPE, kWsaEconnreset},
    {ENOBUFS, kWsaEnobufs},
    {EISCONN, kWsaEisconn},
    {ENOTCONN, kWsaEnotconn},
    {ESHUTDOWN, kWsaEshutdown},
    {ETIMEDOUT, kWsaEtimedout},
    {ECONNREFUSED, kWsaEconnrefused},
    {EHOSTDOWN, kWsaEhostdown},
    {EHOSTUNREACH, kWsaEhostunreach},
};

}  // namespace

int wsaFromErrno(int errnoValue) {
    for (const auto& [err, wsa] : kPairs) {
        if (err == errnoValue) {
            return wsa;
        }
    }
    return kWsaEinval;
}

int errnoFromWsa(int wsaError) {
    for (const auto& [err, wsa] : kPairs) {
        if (wsa == wsaError) {
            return err;
        }
    }
    return 0;
}

}  // namespace kolu
