// GLib first: its headers use "signals" as a name, which Qt defines as a keyword.
#include <libsecret/secret.h>

#include <merovantia/SecretServiceKeychainStore.h>

#include <QDebug>
#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace merovantia {
namespace {

constexpr int kCallDeadlineMs = 10000;
constexpr int kProbeDeadlineMs = 1500;

const SecretSchema *schema() {
    static const SecretSchema kSchema = {"com.quorvalde.merovantia.GenericPassword",
                                         SECRET_SCHEMA_NONE,
                                         {{"service", SECRET_SCHEMA_ATTRIBUTE_STRING},
                                          {"account", SECRET_SCHEMA_ATTRIBUTE_STRING},
                                          {nullptr, SECRET_SCHEMA_ATTRIBUTE_STRING}},
                                         0,
                                         nullptr,
                                         nullptr,
                                         nullptr,
                                         nullptr,
                                         nullptr,
                                         nullptr,
                                         nullptr};
    return &kSchema;
}

// Cancels the wrapped GCancellable when a call takes longer than its deadline,
// so no keyring or bus that stopped answering can hold the caller for ever.
class CallDeadline {
public:
    explicit CallDeadline(int ms) : m_cancellable(g_cancellable_new()) {
        m_thread = std::thread([this, ms] {
            std::unique_lock<std::mutex> lock(m_mutex);
            if (!m_done.wait_for(lock, std::chrono::milliseconds(ms), [this] { return m_finished; }))
                g_cancellable_cancel(m_cancellable);
        });
    }
    ~CallDeadline() {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_finished = true;
        }
        m_done.notify_all();
        m_thread.join();
        g_object_unref(m_cancellable);
    }
    CallDeadline(const CallDeadline &) = delete;
    CallDeadline &operator=(const CallDeadline &) = delete;

    GCancellable *cancellable() const { return m_cancellable; }

private:
    GCancellable *m_cancellable;
    std::mutex m_mutex;
    std::condition_variable m_done;
    bool m_finished = false;
    std::thread m_thread;
};

int statusFor(GError *error, const char *operation) {
    qWarning("[keychain] Secret Service %s failed: %s", operation, error->message);
    int status = KeychainStatus::IOError;
    if (error->domain == SECRET_ERROR && error->code == SECRET_ERROR_IS_LOCKED)
        status = KeychainStatus::InteractionNotAllowed;
    else if (error->domain == G_DBUS_ERROR || error->domain == G_IO_ERROR)
        status = KeychainStatus::NotAvailable;
    g_error_free(error);
    return status;
}

QString attribute(GHashTable *attributes, const char *key) {
    const auto *value = static_cast<const char *>(g_hash_table_lookup(attributes, key));
    return value ? QString::fromUtf8(value) : QString();
}

// Items of our schema matching the service and account (each only when non-empty), without secrets.
int search(const QString &service, const QString &account, QList<KeychainItem> *items) {
    items->clear();
    CallDeadline deadline(kCallDeadlineMs);
    GHashTable *attributes = g_hash_table_new_full(g_str_hash, g_str_equal, nullptr, g_free);
    if (!service.isEmpty())
        g_hash_table_insert(attributes, const_cast<char *>("service"),
                            g_strdup(service.toUtf8().constData()));
    if (!account.isEmpty())
        g_hash_table_insert(attributes, const_cast<char *>("account"),
                            g_strdup(account.toUtf8().constData()));
    GError *error = nullptr;
    GList *found =
        secret_password_searchv_sync(schema(), attributes, SECRET_SEARCH_ALL, deadline.cancellable(), &error);
    g_hash_table_unref(attributes);
    if (error)
        return statusFor(error, "search");
    for (GList *node = found; node; node = node->next) {
        auto *retrievable = static_cast<SecretRetrievable *>(node->data);
        GHashTable *itemAttributes = secret_retrievable_get_attributes(retrievable);
        KeychainItem item;
        item.service = attribute(itemAttributes, "service");
        item.account = attribute(itemAttributes, "account");
        gchar *label = secret_retrievable_get_label(retrievable);
        item.label = QString::fromUtf8(label);
        g_free(label);
        item.created =
            QDateTime::fromSecsSinceEpoch(qint64(secret_retrievable_get_created(retrievable)), Qt::UTC);
        item.modified =
            QDateTime::fromSecsSinceEpoch(qint64(secret_retrievable_get_modified(retrievable)), Qt::UTC);
        g_hash_table_unref(itemAttributes);
        items->append(item);
    }
    g_list_free_full(found, g_object_unref);
    return KeychainStatus::Success;
}

QString sessionBusAddress() {
    const QByteArray address = qgetenv("DBUS_SESSION_BUS_ADDRESS");
    if (!address.isEmpty())
        return QString::fromUtf8(address);
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QFileInfo::exists(QDir(runtime).filePath(QStringLiteral("bus"))))
        return QStringLiteral("unix:path=") + QDir(runtime).filePath(QStringLiteral("bus"));
    return {};
}

GVariant *callSync(GDBusConnection *bus, const char *destination, const char *path, const char *interface,
                   const char *method, GVariant *parameters, const char *replyType, GCancellable *cancellable,
                   QString *failure) {
    GError *error = nullptr;
    GVariant *reply = g_dbus_connection_call_sync(bus, destination, path, interface, method, parameters,
                                                  G_VARIANT_TYPE(replyType), G_DBUS_CALL_FLAGS_NO_AUTO_START,
                                                  kProbeDeadlineMs, cancellable, &error);
    if (!reply) {
        *failure = QString::fromUtf8(error->message);
        g_error_free(error);
    }
    return reply;
}

SecretServiceKeychainStore::Availability probe(QString *reason) {
    using Availability = SecretServiceKeychainStore::Availability;
    const QString address = sessionBusAddress();
    if (address.isEmpty()) {
        *reason = QStringLiteral("no session bus");
        return Availability::Unreachable;
    }
    // Autolaunching would start a bus (and maybe a prompt) from inside the probe.
    if (address.startsWith(QLatin1String("autolaunch:"))) {
        *reason = QStringLiteral("the session bus address asks for autolaunch");
        return Availability::Unreachable;
    }
    CallDeadline deadline(kProbeDeadlineMs);
    GError *error = nullptr;
    GDBusConnection *bus = g_dbus_connection_new_for_address_sync(
        address.toUtf8().constData(),
        GDBusConnectionFlags(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                             G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
        nullptr, deadline.cancellable(), &error);
    if (!bus) {
        *reason = QStringLiteral("session bus unreachable: ") + QString::fromUtf8(error->message);
        g_error_free(error);
        return Availability::Unreachable;
    }
    Availability found = Availability::Unreachable;
    QString failure;
    GVariant *owned =
        callSync(bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "NameHasOwner",
                 g_variant_new("(s)", "org.freedesktop.secrets"), "(b)", deadline.cancellable(), &failure);
    gboolean hasOwner = FALSE;
    if (owned) {
        g_variant_get(owned, "(b)", &hasOwner);
        g_variant_unref(owned);
    }
    if (!owned) {
        *reason = QStringLiteral("session bus does not answer: ") + failure;
    } else if (!hasOwner) {
        *reason = QStringLiteral("no Secret Service on the session bus");
    } else if (GVariant *alias =
                   callSync(bus, "org.freedesktop.secrets", "/org/freedesktop/secrets",
                            "org.freedesktop.Secret.Service", "ReadAlias", g_variant_new("(s)", "default"),
                            "(o)", deadline.cancellable(), &failure)) {
        const gchar *path = nullptr;
        g_variant_get(alias, "(&o)", &path);
        if (g_strcmp0(path, "/") == 0) {
            *reason = QStringLiteral("the Secret Service has no default collection");
        } else if (GVariant *locked =
                       callSync(bus, "org.freedesktop.secrets", path, "org.freedesktop.DBus.Properties",
                                "Get", g_variant_new("(ss)", "org.freedesktop.Secret.Collection", "Locked"),
                                "(v)", deadline.cancellable(), &failure)) {
            GVariant *value = nullptr;
            g_variant_get(locked, "(v)", &value);
            if (!g_variant_is_of_type(value, G_VARIANT_TYPE_BOOLEAN)) {
                *reason = QStringLiteral("the default collection does not say whether it is locked");
            } else if (g_variant_get_boolean(value)) {
                *reason = QStringLiteral("the default collection is locked");
                found = Availability::Locked;
            } else {
                found = Availability::Usable;
            }
            g_variant_unref(value);
            g_variant_unref(locked);
        } else {
            *reason = QStringLiteral("cannot read the default collection: ") + failure;
        }
        g_variant_unref(alias);
    } else {
        *reason = QStringLiteral("the Secret Service does not answer: ") + failure;
    }
    g_dbus_connection_close_sync(bus, nullptr, nullptr);
    g_object_unref(bus);
    return found;
}

} // namespace

QString SecretServiceKeychainStore::name() const {
    return QStringLiteral("Secret Service");
}

SecretServiceKeychainStore::Availability SecretServiceKeychainStore::availability(QString *reason) {
    QString why;
    const Availability found = probe(&why);
    if (reason)
        *reason = why;
    return found;
}

bool SecretServiceKeychainStore::isReachable(QString *reason) {
    return availability(reason) != Availability::Unreachable;
}

bool SecretServiceKeychainStore::isUsable(QString *reason) {
    return availability(reason) == Availability::Usable;
}

int SecretServiceKeychainStore::find(const QString &service, const QString &account, QByteArray *password) {
    CallDeadline deadline(kCallDeadlineMs);
    GError *error = nullptr;
    SecretValue *value = secret_password_lookup_binary_sync(schema(), deadline.cancellable(), &error,
                                                            "service", service.toUtf8().constData(),
                                                            "account", account.toUtf8().constData(), nullptr);
    if (error)
        return statusFor(error, "lookup");
    if (!value)
        return KeychainStatus::ItemNotFound;
    if (password) {
        gsize length = 0;
        const gchar *data = secret_value_get(value, &length);
        *password = QByteArray(data, static_cast<qsizetype>(length));
    }
    secret_value_unref(value);
    return KeychainStatus::Success;
}

int SecretServiceKeychainStore::add(const KeychainItem &item) {
    const int existing = find(item.service, item.account, nullptr);
    if (existing == KeychainStatus::Success)
        return KeychainStatus::DuplicateItem;
    if (existing != KeychainStatus::ItemNotFound)
        return existing;
    const QString label = item.label.isEmpty() ? item.service : item.label;
    CallDeadline deadline(kCallDeadlineMs);
    SecretValue *value =
        secret_value_new(item.password.constData(), item.password.size(), "application/octet-stream");
    GError *error = nullptr;
    secret_password_store_binary_sync(schema(), SECRET_COLLECTION_DEFAULT, label.toUtf8().constData(), value,
                                      deadline.cancellable(), &error, "service",
                                      item.service.toUtf8().constData(), "account",
                                      item.account.toUtf8().constData(), nullptr);
    secret_value_unref(value);
    return error ? statusFor(error, "store") : KeychainStatus::Success;
}

int SecretServiceKeychainStore::update(const QString &service, const QString &account,
                                       const QByteArray &password) {
    QList<KeychainItem> found;
    if (const int status = search(service, account, &found))
        return status;
    const auto existing = std::find_if(found.cbegin(), found.cend(), [&](const KeychainItem &item) {
        return item.service == service && item.account == account;
    });
    if (existing == found.cend())
        return KeychainStatus::ItemNotFound;
    // Storing under the same attributes replaces the secret of the existing item; its
    // label goes with it, so the one it has is passed again.
    const QString label = existing->label.isEmpty() ? service : existing->label;
    CallDeadline deadline(kCallDeadlineMs);
    SecretValue *value = secret_value_new(password.constData(), password.size(), "application/octet-stream");
    GError *error = nullptr;
    secret_password_store_binary_sync(schema(), SECRET_COLLECTION_DEFAULT, label.toUtf8().constData(), value,
                                      deadline.cancellable(), &error, "service", service.toUtf8().constData(),
                                      "account", account.toUtf8().constData(), nullptr);
    secret_value_unref(value);
    return error ? statusFor(error, "update") : KeychainStatus::Success;
}

int SecretServiceKeychainStore::remove(const QString &service, const QString &account) {
    CallDeadline deadline(kCallDeadlineMs);
    GError *error = nullptr;
    const gboolean removed = secret_password_clear_sync(schema(), deadline.cancellable(), &error, "service",
                                                        service.toUtf8().constData(), "account",
                                                        account.toUtf8().constData(), nullptr);
    if (error)
        return statusFor(error, "clear");
    return removed ? KeychainStatus::Success : KeychainStatus::ItemNotFound;
}

int SecretServiceKeychainStore::list(const QString &service, QList<KeychainItem> *items) {
    if (const int status = search(service, QString(), items))
        return status;
    // The service keeps no order of its own: oldest first, then by account.
    std::sort(items->begin(), items->end(), [](const KeychainItem &a, const KeychainItem &b) {
        return a.created != b.created ? a.created < b.created : a.account < b.account;
    });
    return items->isEmpty() ? KeychainStatus::ItemNotFound : KeychainStatus::Success;
}

} // namespace merovantia
