#include "services/network/QVChecker.h"

void QVChecker::check(const QString &) {}
