#pragma once

#include <QList>
#include <QMutex>
#include <QString>
#include <functional>
#include <memory>
#include <typeinfo>

class CVSemaphore;
class MUDAlias;

// Who issued an action: a trigger, alias, timer or the login script (none
// means the user). Children point at the source whose command caused them,
// which is how alias expansion refuses to expand an alias twice in one chain.
// Any thread: created on the caller's thread, read by the script's thread and
// by the main thread; every field is guarded by the source's own lock.
class MUDJavascriptActionSource : public std::enable_shared_from_this<MUDJavascriptActionSource> {
public:
    MUDJavascriptActionSource() = default;
    explicit MUDJavascriptActionSource(std::shared_ptr<MUDJavascriptActionSource> parent);

    // True when the target object has a debug flag and it is set.
    bool isDebug() const;

    void addProcessedAlias(const std::shared_ptr<MUDAlias>& alias);
    // Looks in this source and every ancestor.
    bool hasAlreadyProcessedAlias(const std::shared_ptr<MUDAlias>& alias) const;
    QList<std::shared_ptr<MUDAlias>> processedAliases() const;

    void addChildActionSource(const std::shared_ptr<MUDJavascriptActionSource>& child);
    QList<std::shared_ptr<MUDJavascriptActionSource>> childActionSources() const;

    std::shared_ptr<MUDJavascriptActionSource> parentActionSource() const;
    void setParentActionSource(std::shared_ptr<MUDJavascriptActionSource> parent);
    // The topmost ancestor, or this source itself.
    std::shared_ptr<MUDJavascriptActionSource> rootActionSource();

    QString actionName() const;
    void setActionName(const QString& actionName);

    // The trigger, alias or timer whose action this is. Objects with an
    // `isDebug()` member answer isDebug().
    template<class Target> void setTargetObject(std::shared_ptr<Target> target)
    {
        std::function<bool()> debug;
        if constexpr (requires(const Target& t) { bool(t.isDebug()); }) {
            if (target)
                debug = [raw = target.get()] { return bool(raw->isDebug()); };
        }
        setTarget(std::move(target), std::move(debug), &typeid(Target));
    }
    std::shared_ptr<void> targetObject() const;
    // The target when it was set as a `Target`, else null (the session tells
    // trigger, alias and timer commands apart by it).
    template<class Target> std::shared_ptr<Target> targetObjectAs() const
    {
        const std::type_info* type = nullptr;
        std::shared_ptr<void> target = targetObjectAndType(&type);
        if (!type || *type != typeid(Target))
            return nullptr;
        return std::static_pointer_cast<Target>(target);
    }
    // Identity comparison that needs no cast at the caller.
    bool hasTargetObject(const void* object) const;

    quint64 dataStartLocation() const;
    void setDataStartLocation(quint64 location);

    bool waitingForData() const;
    void setWaitingForData(bool waiting);
    std::shared_ptr<CVSemaphore> waitingForDataSemaphore() const;
    void setWaitingForDataSemaphore(std::shared_ptr<CVSemaphore> semaphore);
    // None (a null QString) until data arrives.
    QString waitingForDataResult() const;
    void setWaitingForDataResult(const QString& result);
    // Appends a chunk to the collected text (or makes it the text).
    void appendWaitingForDataResult(const QString& chunk);

    QString description() const;

private:
    void setTarget(std::shared_ptr<void> target, std::function<bool()> debug, const std::type_info* type);
    std::shared_ptr<void> targetObjectAndType(const std::type_info** type) const;

    mutable QMutex m_mutex;
    QList<std::shared_ptr<MUDAlias>> m_processedAliases;
    QList<std::shared_ptr<MUDJavascriptActionSource>> m_childActionSources;
    std::shared_ptr<MUDJavascriptActionSource> m_parentActionSource;
    bool m_waitingForData = false;
    QString m_actionName;
    std::shared_ptr<void> m_targetObject;
    std::function<bool()> m_targetIsDebug;
    const std::type_info* m_targetType = nullptr;
    quint64 m_dataStartLocation = 0;
    std::shared_ptr<CVSemaphore> m_waitingForDataSemaphore;
    QString m_waitingForDataResult;
};
