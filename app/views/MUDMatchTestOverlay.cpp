#include "app/views/MUDMatchTestOverlay.h"

#include <QElapsedTimer>

#include "core/CVColorHelpers.h"
#include "core/CVLogHelper.h"
#include "engine/automation/MUDTrigger.h"
#include "engine/automation/MUDTriggerMatcher.h"
#include "engine/decoding/MUDColors.h"
#include "engine/decoding/MUDOutputModel.h"

namespace {
constexpr qreal kMatchBackgroundAlpha = 0.15;
constexpr qreal kGroupUnderlineAlpha = 0.6;

// Group i is underlined in the colour at i modulo 4: group 1 pink, 2 green, 3 blue, 4 purple.
QColor groupColor(qsizetype group)
{
    static const QColor colors[] = {MUDColors::SystemPurple, MUDColors::SystemPink, MUDColors::SystemGreen,
                                    MUDColors::SystemBlue};
    return withAlpha(colors[group % 4], kGroupUnderlineAlpha);
}
}

void MUDMatchTestOverlay::setMatchTest(const std::optional<MUDMatchTest>& matchTest)
{
    m_highlights.clear();
    m_range = {CVRange::NotFound, 0};
    m_trigger.reset();
    if (!matchTest)
        return;
    m_trigger = std::make_shared<MUDTrigger>();
    m_trigger->setMatchType(matchTest->matchType);
    m_trigger->setMatchString(matchTest->matchString);
    m_trigger->setMatchFromStartOfLine(matchTest->matchFromStartOfLine);
    m_trigger->setCaseSpecific(matchTest->caseSpecific);
}

void MUDMatchTestOverlay::update(const MUDOutputModel& output, CVRange visible, quint64 generation)
{
    if (!m_trigger || (visible == m_range && generation == m_generation))
        return;
    m_range = visible;
    m_generation = generation;
    m_highlights.clear();
    QElapsedTimer timer;
    timer.start();
    const auto matches = MUDTriggerMatcher::matchTrigger(m_trigger, output.attributedSubstring(visible));
    if (!matches)
        return;
    for (const MUDTriggerProcessObject& match : *matches) {
        m_highlights.append({{match.range.location + visible.location, match.range.length},
                             withAlpha(MUDColors::SystemBlue, kMatchBackgroundAlpha),
                             QColor()});
        if (!match.parameterRanges)
            continue;
        for (qsizetype group = 1; group < match.parameterRanges->size(); ++group) {
            const CVRange range = match.parameterRanges->at(group);
            if (range.isNotFound() || range.length == 0)
                continue;
            m_highlights.append({{range.location + visible.location, range.length}, QColor(), groupColor(group)});
        }
    }
    // A pass over the visible text should take milliseconds; a slow one is worth a log line.
    if (timer.elapsed() > 1000)
        CVLog(QString::asprintf("Highlight timer took %0.2f seconds", double(timer.elapsed()) / 1000.0));
}
