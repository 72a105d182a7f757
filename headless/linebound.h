#pragma once

#include <QtGlobal>

class QString;

// vanelet's own bound on a session line that stopped carrying anything: the system probes the
// connection while it is idle and ends it when the server's side has not answered for about
// `seconds`; data the server has not acknowledged has the same limit. The probes are answered
// by the server's system, not by the server program, so a server that is busy and silent (a
// Mission Pack being prepared) is never taken for a dead line. One back end per platform: TCP
// keep-alive and TCP_USER_TIMEOUT on Linux, SIO_KEEPALIVE_VALS and TCP_MAXRT on Windows.
namespace LineBound {

// The bound vanelet uses: a couple of minutes, where the system's own retransmission limit
// takes twenty.
constexpr int DefaultSeconds = 120;

// Sets the bound on a connected socket. probes false stops the idle probes (the limit on
// unacknowledged data stays); true starts them again. False, with the reason in *error, when
// the system refuses.
bool set(qintptr socket, int seconds, bool probes, QString* error);

} // namespace LineBound
