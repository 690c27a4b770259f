#include "core/mapping/ValueTransformer.h"

#include <QHash>

#include <mutex>

namespace {
std::mutex g_registryMutex;
QHash<QString, ValueTransformerPtr> &registry() {
    static QHash<QString, ValueTransformerPtr> transformers;
    return transformers;
}
} // namespace

QVariant ValueTransformer::reverseTransformedValue(const QVariant &) const {
    return {};
}

void ValueTransformer::setValueTransformer(std::shared_ptr<ValueTransformer> transformer,
                                           const QString &name) {
    std::lock_guard<std::mutex> lock(g_registryMutex);
    if (transformer)
        registry().insert(name, std::move(transformer));
    else
        registry().remove(name);
}

std::shared_ptr<ValueTransformer> ValueTransformer::valueTransformerForName(const QString &name) {
    std::lock_guard<std::mutex> lock(g_registryMutex);
    return registry().value(name);
}

bool isNullValue(const QVariant &value) {
    return !value.isValid() || value.isNull();
}
