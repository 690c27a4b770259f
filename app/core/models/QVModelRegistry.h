#pragma once

#include "platform/Error.h"
#include "platform/store/Schema.h"

#include <QList>

// Every persisted class of the application, in one place, so the store's
// configuration and the JSON mapping declarations cannot drift apart.
namespace QVModelRegistry {

// In dependency order: a class comes after every class it links.
QList<platform::ObjectSchema> allSchemas();

// Declares each class's JSON mapping; the first refused declaration is returned.
platform::Error declareMappings();

} // namespace QVModelRegistry
