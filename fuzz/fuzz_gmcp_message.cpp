// Properties: any payload parses or is dropped without harm; a message that
// parses has a valid package name, and what the client would send for its
// package and value parses back to the same package and value; the state
// keeps whatever it is given and hands it out again.
#include <QByteArray>
#include <cstdint>
#include <cstdlib>

#include "FuzzSupport.h"
#include "engine/automation/MUDGMCPMessage.h"
#include "engine/automation/MUDGMCPState.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static bool ready = (setUpFuzzing(), true);
    (void)ready;
    static MUDGMCPState state;

    const QByteArrayView payload(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const std::optional<MUDGMCPMessage> message = MUDGMCPMessage::parse(payload);
    if (!message)
        return 0;
    if (!MUDGMCPMessage::isPackageName(message->package))
        abort();
    if (message->json.isEmpty() != message->value.isUndefined())
        abort();

    const std::optional<MUDGMCPMessage> again =
        MUDGMCPMessage::parse(MUDGMCPMessage::payload(message->package, message->value));
    if (!again || again->package != message->package || again->value != message->value)
        abort();

    // Few distinct names, so merges happen and the package limit is not
    // what is being tested.
    if (state.packages().size() >= 64)
        state.reset();
    if (!state.apply(*message) || !state.value(message->package.toUpper()))
        abort();
    return 0;
}
