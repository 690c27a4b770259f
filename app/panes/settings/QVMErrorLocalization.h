#pragma once

#include "platform/Error.h"

#include <QString>

// The text an account request's failure shows. Only a refusal by the account
// server (400, 401, 403) reads as bad credentials; a transport failure says
// there is no connection; any other server error shows the server's text.
class QVMErrorLocalization {
public:
    enum Type { SignIn = 0, SignUp = 1, Other = 2 };

    static QString loadDataLocalizedDescription();
    static QString localizedDescriptionWithType(const platform::Error &error, int type);
    // Time-outs, unknown hosts, refused or lost connections, no network.
    static bool isTransportFailure(const platform::Error &error);
    static bool isRefusal(const platform::Error &error);

    QVMErrorLocalization() = delete;
};
