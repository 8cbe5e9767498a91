// Trigger pass: 100 regular-expression and 100 plain-text triggers over a
// 5,120-character window of typical game text. Prints the time per matching
// pass (compiled patterns cached, recorded positions reset before each pass).
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QStringList>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "core/CVAttributedString.h"
#include "engine/automation/MUDTrigger.h"
#include "engine/automation/MUDTriggerMatcher.h"
#include "engine/automation/MUDTriggerProcessor.h"

namespace {

const QStringList kCreatures = {"orc",   "troll",  "goblin", "dragon", "rat",    "wolf",    "bandit",
                                "guard", "priest", "spider", "knight", "wizard", "bear",    "snake",
                                "ghoul", "imp",    "giant",  "dwarf",  "elf",    "merchant"};

QString gameText(int length)
{
    const QStringList lines = {
        "The %1 arrives from the north.",
        "Gandalf says, \"Beware of the %1.\"",
        "HP: 120/150 SP: 45/60 MV: 88/100 > %1",
        "You hit the %1 hard. The %1 is bleeding.",
        "Obvious exits: north, south, east and up. (%1)",
        "A small %1 lies here, sleeping.",
        "You feel tired after the fight with the %1.",
        "The %1 leaves south.",
        "[Chat] Mira: anyone up for the %1 quest?",
        "You receive 35 experience points for the %1.",
    };
    QString text;
    int i = 0;
    while (text.size() < length) {
        text += lines[i % lines.size()].arg(kCreatures[(i * 7) % kCreatures.size()]) + "\r\n";
        ++i;
    }
    return text.right(length);
}

std::shared_ptr<MUDTrigger> trigger(const QString& pattern, int32_t type, const QString& title)
{
    auto result = std::make_shared<MUDTrigger>();
    result->setTitle(title);
    result->setMatchString(pattern);
    result->setMatchType(type);
    result->setAction("log('x')");
    return result;
}

QList<std::shared_ptr<MUDTrigger>> triggers()
{
    const QStringList regexTemplates = {
        "^The %1 arrives from the (\\w+)\\.",
        "(\\w+) says, \"([^\"]*) %1\\.\"",
        "^HP: (\\d+)/(\\d+) SP: (\\d+)/(\\d+) .* %1",
        "You hit the %1 (\\w+)\\.",
        "^A small %1 lies here, (\\w+)\\.$",
        "The %1 leaves (north|south|east|west)",
        "^\\[Chat\\] (\\w+): .*%1",
        "You receive (\\d+) experience points for the %1",
        "with the %1\\.$",
        "%1 is bleeding",
    };
    const QStringList plainTemplates = {
        "The %1 arrives", "Beware of the %1",  "You hit the %1", "A small %1 lies here", "The %1 leaves",
        "%1 quest",       "fight with the %1", "%1 is bleeding", "says the %1",          "the %1 dies",
    };
    QList<std::shared_ptr<MUDTrigger>> list;
    for (int i = 0; i < 100; ++i) {
        const QString creature = kCreatures[i % kCreatures.size()];
        list.append(trigger(regexTemplates[i % regexTemplates.size()].arg(creature),
                            MUDTrigger::kMatchRegularExpression, QString("regex %1").arg(i)));
        list.append(trigger(plainTemplates[i % plainTemplates.size()].arg(creature), MUDTrigger::kMatchPlainText,
                            QString("plain %1").arg(i)));
    }
    return list;
}

}

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const auto list = triggers();
    auto processor = std::make_shared<MUDTriggerProcessor>(nullptr, list);
    const CVAttributedString window(gameText(MUDTriggerProcessor::MatchWindow));

    constexpr int warmup = 3;
    constexpr int passes = 50;
    std::vector<double> millis;
    for (int i = 0; i < warmup + passes; ++i) {
        processor->setTriggers(list);
        QElapsedTimer clock;
        clock.start();
        processor->doProcessTriggers(list, window, 0, 0, 1);
        if (i >= warmup)
            millis.push_back(double(clock.nsecsElapsed()) / 1e6);
    }
    std::sort(millis.begin(), millis.end());
    std::printf("trigger pass (100 regex + 100 plain triggers, %lld-character window): median %.2f ms, "
                "min %.2f ms, max %.2f ms over %d passes\n",
                static_cast<long long>(window.length()), millis[passes / 2], millis.front(), millis.back(), passes);

    // The option "dot matches line separators" lets a .* in the middle of a
    // pattern run across the whole window: the costliest common pattern.
    // "troll." never follows a quote in this text, "guard." does.
    for (const char* creature : {"troll", "guard"}) {
        auto dotAll = trigger(QStringLiteral("(\\w+) says, \"(.*) %1\\.\"").arg(QLatin1String(creature)),
                              MUDTrigger::kMatchRegularExpression, "dot-all");
        std::vector<double> dotAllMillis;
        qsizetype found = 0;
        for (int i = 0; i < 10; ++i) {
            QElapsedTimer clock;
            clock.start();
            found = MUDTriggerMatcher::matchTrigger(dotAll, window).value_or(QList<MUDTriggerProcessObject>{}).size();
            dotAllMillis.push_back(double(clock.nsecsElapsed()) / 1e6);
        }
        std::sort(dotAllMillis.begin(), dotAllMillis.end());
        std::printf(
            "one pattern with a mid-pattern (.*) under dot-all, same window, \"%s\": median %.2f ms (%lld matches)\n",
            creature, dotAllMillis[5], static_cast<long long>(found));
    }
    return 0;
}
