#include "engine/storage/MUDKeyring.h"

#include <chrono>
#include <functional>
#include <future>
#include <memory>
#include <thread>

// GLib names a structure member "signals", which Qt defines as a keyword.
#pragma push_macro("signals")
#undef signals
#include <libsecret/secret.h>
#pragma pop_macro("signals")

namespace {

const char* const kApplication = "Quarrow";

const SecretSchema* schema()
{
    static const SecretSchema passwords = {"com.corvane.Quarrow.ConnectionPassword",
                                           SECRET_SCHEMA_NONE,
                                           {
                                               {"application", SECRET_SCHEMA_ATTRIBUTE_STRING},
                                               {"connectionId", SECRET_SCHEMA_ATTRIBUTE_STRING},
                                               {nullptr, SecretSchemaAttributeType(0)},
                                           },
                                           0,
                                           nullptr,
                                           nullptr,
                                           nullptr,
                                           nullptr,
                                           nullptr,
                                           nullptr,
                                           nullptr};
    return &passwords;
}

// What one call to the service gave.
struct Answer {
    bool ok = false;
    QString value;
    QString error;
};

// Takes a GError's message and frees it.
Answer failure(GError* error)
{
    Answer answer;
    answer.error = error ? QString::fromUtf8(error->message) : QStringLiteral("The keyring gave no reason.");
    g_clear_error(&error);
    return answer;
}

// Runs `call` on a worker and waits for it at most TimeoutMs.
Answer askService(std::function<Answer()> call)
{
    auto promise = std::make_shared<std::promise<Answer>>();
    std::future<Answer> future = promise->get_future();
    std::thread([promise, call = std::move(call)] { promise->set_value(call()); }).detach();
    if (future.wait_for(std::chrono::milliseconds(MUDKeyring::TimeoutMs)) != std::future_status::ready)
        return {
            false,
            {},
            QStringLiteral("The system keyring did not answer within %1 seconds.").arg(MUDKeyring::TimeoutMs / 1000)};
    return future.get();
}

bool finish(const Answer& answer, QString* error)
{
    if (!answer.ok && error)
        *error = answer.error;
    return answer.ok;
}

}

bool MUDKeyring::isAvailable(QString* reason)
{
    return finish(askService([] {
                      GError* failed = nullptr;
                      // Opening a session is a round trip: only a service that runs answers it.
                      SecretService* service = secret_service_get_sync(SECRET_SERVICE_OPEN_SESSION, nullptr, &failed);
                      if (!service)
                          return failure(failed);
                      g_object_unref(service);
                      return Answer{true, {}, {}};
                  }),
                  reason);
}

bool MUDKeyring::storePassword(const QString& connectionId, const QString& label, const QString& password,
                               QString* error)
{
    return finish(askService([id = connectionId.toUtf8(), label = label.toUtf8(), password = password.toUtf8()] {
                      GError* failed = nullptr;
                      if (!secret_password_store_sync(schema(), SECRET_COLLECTION_DEFAULT, label.constData(),
                                                      password.constData(), nullptr, &failed, "application",
                                                      kApplication, "connectionId", id.constData(), nullptr))
                          return failure(failed);
                      return Answer{true, {}, {}};
                  }),
                  error);
}

std::optional<QString> MUDKeyring::password(const QString& connectionId, QString* error)
{
    const Answer answer = askService([id = connectionId.toUtf8()] {
        GError* failed = nullptr;
        gchar* found = secret_password_lookup_sync(schema(), nullptr, &failed, "application", kApplication,
                                                   "connectionId", id.constData(), nullptr);
        if (failed)
            return failure(failed);
        Answer stored{true, found ? QString::fromUtf8(found) : QString(), {}};
        secret_password_free(found);
        return stored;
    });
    if (!finish(answer, error))
        return std::nullopt;
    return answer.value;
}

bool MUDKeyring::removePassword(const QString& connectionId, QString* error)
{
    return finish(askService([id = connectionId.toUtf8()] {
                      GError* failed = nullptr;
                      secret_password_clear_sync(schema(), nullptr, &failed, "application", kApplication,
                                                 "connectionId", id.constData(), nullptr);
                      if (failed)
                          return failure(failed);
                      return Answer{true, {}, {}};
                  }),
                  error);
}
