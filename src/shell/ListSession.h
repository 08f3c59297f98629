#pragma once

#include <QString>
#include <functional>

// How the list shown was made: nothing listed since start-up or New, a search's list, or an
// opened document with its references.
enum class ListStage { Empty, Listed, Opened };

// The list's history as the window shows it: how it was made, whether it was saved since it
// last changed, and the report file it was last saved to ("" while it has none, shown as
// "Unnamed" in the caption). Each change is told to the window.
class ListSession
{
public:
    explicit ListSession(std::function<void()> changed) : tell(std::move(changed)) {}

    ListStage Stage() const { return stage; }
    bool Saved() const { return saved; }
    const QString &ReportPath() const { return reportPath; }

    void SetStage(ListStage now) { Change(stage, now); }
    void SetSaved(bool now) { Change(saved, now); }
    void SetReportPath(const QString &now) { Change(reportPath, now); }

private:
    template <typename Value> void Change(Value &held, const Value &now)
    {
        if (held == now)
            return;
        held = now;
        tell();
    }

    std::function<void()> tell;
    ListStage stage = ListStage::Empty;
    bool saved = false;
    QString reportPath;
};
