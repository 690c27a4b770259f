#include "QVMErrorLocalization.h"

#include "core/localization/QVLocalizedString.h"

#include <merovantia/MFJSONResponseSerializer.h>
#include <merovantia/MFURLError.h>

QString QVMErrorLocalization::loadDataLocalizedDescription() {
    return QVLocalizedString(QStringLiteral("_loc_load_data_error"));
}

bool QVMErrorLocalization::isTransportFailure(const platform::Error &error) {
    if (error.isNull() || error.domain() != QLatin1String(kMFURLErrorDomain))
        return false;
    switch (error.code()) {
    case MFURLErrorTimedOut:
    case MFURLErrorCannotFindHost:
    case MFURLErrorCannotConnectToHost:
    case MFURLErrorNetworkConnectionLost:
    case MFURLErrorNotConnectedToInternet:
        return true;
    default:
        return false;
    }
}

bool QVMErrorLocalization::isRefusal(const platform::Error &error) {
    if (error.isNull() || error.domain() != QLatin1String(kMFNetworkResponseErrorDomain))
        return false;
    return error.code() == 400 || error.code() == 401 || error.code() == 403;
}

QString QVMErrorLocalization::localizedDescriptionWithType(const platform::Error &error, int type) {
    if (isTransportFailure(error))
        return QVLocalizedString(QStringLiteral("_loc_settings_no_connection"));
    if ((type == SignIn || type == SignUp) && isRefusal(error))
        return QVLocalizedString(QStringLiteral("_loc_bad_username_or_pass"));
    if (!error.isNull() && error.domain() == QLatin1String(kMFNetworkResponseErrorDomain) &&
        !error.localizedDescription().isEmpty())
        return error.localizedDescription();
    return loadDataLocalizedDescription();
}
