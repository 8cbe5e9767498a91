#include "core/MachTimer.h"

MachTimer::MachTimer()
{
    m_timer.start();
}

void MachTimer::startTimer()
{
    m_timer.restart();
}

double MachTimer::elapsedSeconds() const
{
    return static_cast<double>(m_timer.nsecsElapsed()) / 1e9;
}
