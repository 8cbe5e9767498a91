// Property: a script run in a context borrowed from a runtime's pool does
// exactly what it does in a new context (the same calls of the script
// functions with the same arguments, the same result or exception text),
// whatever the scripts before it did. The pool lives across inputs, so every
// earlier input is an earlier script; each input's script also runs twice in
// a row, so the second run finds its function kept. Input: the parameter
// value, a line feed, the action text.
#include <QElapsedTimer>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "FuzzSupport.h"
#include "engine/automation/MUDJavascriptContextPool.h"
#include "engine/automation/MUDJavascriptParameterSubstitution.h"
#include "engine/automation/MUDJavascriptScriptRun.h"
#include "engine/automation/javascript/MUDJavascriptContext.h"
#include "engine/automation/javascript/MUDJavascriptContextGroup.h"

namespace {

constexpr qint64 kTimeLimitMs = 100;
// A loop of calls records at most this many: on a busy machine the
// engine's time check can come late, and a loop of fast calls would
// otherwise fill the memory before it stops.
constexpr qsizetype kMaximumRecordedCalls = 10000;

struct Runtime {
    MUDJavascriptContextGroup group{MUDJavascriptScriptRun::functionNames()};
    MUDJavascriptContextPool pool{group, &MUDJavascriptScriptRun::prepareContext};
    Runtime()
    {
        group.setTerminationCheck(0.02, [](MUDJavascriptContext* context) {
            auto* clock = static_cast<QElapsedTimer*>(context->userData());
            return clock && clock->elapsed() > kTimeLimitMs;
        });
    }
};

Runtime& runtime()
{
    static Runtime instance;
    return instance;
}

// What a script did, as its functions and the engine saw it.
struct Outcome {
    QStringList calls;
    bool threw = false;
    QString text;
    // Stopped by the time limit, or made more calls than are recorded: its
    // calls cannot be compared.
    bool timedOut = false;

    bool operator==(const Outcome& other) const
    {
        return calls == other.calls && threw == other.threw && text == other.text;
    }
};

// A borrowed context runs the script's body as a kept function, the way
// script runs use it; a new context evaluates the whole wrapped script.
enum class Path { KeptFunction, Evaluate };

Outcome run(MUDJavascriptContext& context, const QString& script, Path path)
{
    Outcome outcome;
    context.setHandler([&outcome](int index, const MUDJavascriptArguments& arguments) {
        if (outcome.calls.size() < kMaximumRecordedCalls)
            outcome.calls.append(QString::number(index) + QLatin1Char(':') + arguments.texts().join(QChar(0x1f)));
        else
            outcome.timedOut = true;
        return QVariant();
    });
    QElapsedTimer clock;
    clock.start();
    context.setUserData(&clock);
    QVariant result;
    const std::optional<QString> body = MUDJavascriptScriptRun::functionBody(script);
    outcome.threw = path == Path::KeptFunction && body ? !context.callFunctionBody(*body, &result, &outcome.text)
                                                       : !context.evaluate(script, &result, &outcome.text);
    if (!outcome.threw)
        outcome.text = result.toString();
    outcome.timedOut = outcome.timedOut || clock.elapsed() > kTimeLimitMs;
    context.setUserData(nullptr);
    context.setHandler({});
    return outcome;
}

// Times and random numbers differ between any two runs, and so does how deep
// recursion gets before the stack runs out (it depends on what the engine
// has compiled by then).
bool isDeterministic(const QString& action)
{
    for (const char* word : {"random", "Date", "now", "performance", "stack"}) {
        if (action.contains(QLatin1String(word)))
            return false;
    }
    return true;
}

}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const bool ready = (setUpFuzzing(), true);
    (void)ready;
    const QString input = QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const qsizetype split = input.indexOf(QLatin1Char('\n'));
    if (split < 0)
        return 0;
    const QString value = input.left(split);
    const QString action = input.mid(split + 1);
    const MUDScriptParameters parameters{{QStringLiteral("\\1"), value}, {QStringLiteral("\\0"), value + value}};
    const QString raw = MUDJavascriptScriptRun::wrapScript(action);
    const QString processed = MUDJavascriptParameterSubstitution::replaceParametersInString(raw, parameters);
    const std::optional<QString> body = MUDJavascriptScriptRun::functionBody(
        MUDJavascriptParameterSubstitution::replaceParametersInCode(raw, parameters));
    if (!body)
        return 0;

    Runtime& r = runtime();
    for (int attempt = 0; attempt < 2; ++attempt) {
        std::unique_ptr<MUDJavascriptContext> borrowed = r.pool.borrowContext(*body);
        if (!borrowed)
            return 0;
        const Outcome shared = run(*borrowed, processed, Path::KeptFunction);
        if (shared.timedOut)
            return 0;
        r.pool.giveBack(std::move(borrowed));
        std::unique_ptr<MUDJavascriptContext> fresh = r.pool.createContext();
        const Outcome alone = run(*fresh, processed, Path::Evaluate);
        if (!alone.timedOut && isDeterministic(action) && !(shared == alone))
            abort();
    }
    return 0;
}
