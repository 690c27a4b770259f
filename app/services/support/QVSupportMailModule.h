#pragma once

#include <QByteArray>
#include <QString>

#include <atomic>

// libcurl, with the dozens of libraries it brings (Kerberos, LDAP, SSH, GnuTLS ...), lives in
// the mail module, loaded with the first support request rather than at start. QVSupportMailer
// loads it; these are the module's entry points (app/modules/mail), found by name:
//
//   auto start = reinterpret_cast<QVSupportMailModule::StartFunction>(library.symbol(kStartSymbol));
//   auto send = reinterpret_cast<QVSupportMailModule::SendFunction>(library.symbol(kSendSymbol));
//   start();                                              // once, on the main thread
//   int code = send(request, cancelled, &description);    // on a worker: 0 or a QVSupportMailer::ErrorCode
//
// The module is looked for at $QV_MAIL_MODULE, beside the program, then where the build made it.

// One message to send, every value ready for the wire.
struct QVSupportMailRequest {
    QByteArray url, user, password, from, data;
    long timeLimitMs = 0;
    bool local = false; // the server is this computer
};

namespace QVSupportMailModule {

constexpr const char *kStartSymbol = "qvMailModuleStart";
constexpr const char *kSendSymbol = "qvMailModuleSend";

using StartFunction = void (*)();
// 0 when sent, else a QVSupportMailer::ErrorCode with *description saying why. Ends soon after
// `cancelled` turns true.
using SendFunction = int (*)(const QVSupportMailRequest &request, const std::atomic<bool> &cancelled,
                             QString *description);

} // namespace QVSupportMailModule
