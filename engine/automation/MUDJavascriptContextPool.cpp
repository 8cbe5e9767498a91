#include "engine/automation/MUDJavascriptContextPool.h"

#include <QMutexLocker>

#include "engine/automation/MUDJavascriptReuseCheck.h"
#include "engine/automation/javascript/MUDJavascriptContext.h"

namespace {
// Idle contexts kept: one per thread that runs scripts at the same time.
constexpr size_t kMaximumIdleContexts = 4;
// Distinct function bodies remembered; a script with bare parameters has a
// new body per match, so the memory starts again when it is full.
constexpr qsizetype kMaximumVerdicts = 1024;
}

MUDJavascriptContextPool::MUDJavascriptContextPool(MUDJavascriptContextGroup& group, Preparation prepare)
    : m_group(group)
    , m_prepare(prepare)
{
}

MUDJavascriptContextPool::~MUDJavascriptContextPool() = default;

std::unique_ptr<MUDJavascriptContext> MUDJavascriptContextPool::createContext() const
{
    auto context = std::make_unique<MUDJavascriptContext>(m_group);
    m_prepare(*context);
    return context;
}

std::unique_ptr<MUDJavascriptContext> MUDJavascriptContextPool::borrowContext(const QString& body)
{
    std::unique_ptr<MUDJavascriptContext> context;
    {
        QMutexLocker lock(&m_lock);
        if (!m_idle.empty()) {
            context = std::move(m_idle.back());
            m_idle.pop_back();
        }
    }
    if (!context)
        context = createContext();
    const std::optional<QStringList> names = assignedGlobalNames(body, *context);
    if (names && context->saveGlobals(*names))
        return context;
    giveBack(std::move(context));
    return nullptr;
}

void MUDJavascriptContextPool::giveBack(std::unique_ptr<MUDJavascriptContext> context)
{
    if (!context || !context->restoreGlobals())
        return;
    context->setHandler({});
    context->setUserData(nullptr);
    QMutexLocker lock(&m_lock);
    if (m_idle.size() < kMaximumIdleContexts)
        m_idle.push_back(std::move(context));
}

std::optional<QStringList> MUDJavascriptContextPool::assignedGlobalNames(const QString& body,
                                                                         MUDJavascriptContext& context)
{
    {
        QMutexLocker lock(&m_lock);
        auto found = m_verdicts.constFind(body);
        if (found != m_verdicts.cend())
            return *found;
    }
    std::optional<QStringList> names = MUDJavascriptReuseCheck::assignedGlobalNames(body);
    // A body that could close its function would declare at the top level,
    // where nothing can be undone.
    if (names && !context.isFunctionBody(body))
        names.reset();
    QMutexLocker lock(&m_lock);
    if (m_verdicts.size() >= kMaximumVerdicts)
        m_verdicts.clear();
    m_verdicts.insert(body, names);
    return names;
}
