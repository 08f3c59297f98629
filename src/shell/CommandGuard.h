#pragma once

#include <functional>

// Decides whether a command of the window may run now. Nothing that changes the list, the
// records or the project runs before the start-up finished, after the window was unloaded,
// or inside another such command: a search lets pending events run, and a command's prompt
// is a nested event loop in which a menu shortcut, a timer or a termination signal may come.
// A request to close the window meanwhile is kept and carried out once the command ended.
class CommandGuard
{
public:
    enum class Activity { Idle, Searching, Running };

    // closeWindow closes the window; activityChanged is told each change of the activity.
    CommandGuard(std::function<void()> closeWindow, std::function<void()> activityChanged)
        : close(std::move(closeWindow)), changed(std::move(activityChanged))
    {
    }

    bool MayRun() const { return loaded && !unloaded && !closing && activity == Activity::Idle; }
    // The start-up runs: it is the command in progress, and what it causes runs inside it.
    bool Starting() const { return !loaded && !unloaded; }
    Activity CurrentActivity() const { return activity; }
    bool Searching() const { return activity == Activity::Searching; }
    bool Busy() const { return activity != Activity::Idle; }

    void SetLoaded() { loaded = true; }
    void SetUnloaded() { unloaded = true; }
    // Asks the window's closing question: while it is asked no command runs, and a second
    // close request has nothing to add. Returns the answer.
    bool AskToClose(const std::function<bool()> &question);
    bool AskingToClose() const { return closing; }

    // Runs command as the activity when a command may run now; false when it may not.
    bool Run(Activity as, const std::function<void()> &command)
    {
        if (!MayRun())
            return false;
        const Hold held(*this, as);
        command();
        return true;
    }

    // Marks a command in progress for as long as it lives; when it ends and a close was
    // requested meanwhile, the window is closed.
    class Hold
    {
    public:
        Hold(CommandGuard &held, Activity activity);
        ~Hold();
        Hold(const Hold &) = delete;
        Hold &operator=(const Hold &) = delete;

    private:
        CommandGuard &guard;
        Activity previous;
    };

    // A close request that must wait for the running command.
    void RequestClose() { closeRequested = true; }
    bool CloseRequested() const { return closeRequested; }

private:
    std::function<void()> close;
    std::function<void()> changed;
    Activity activity = Activity::Idle;
    bool loaded = false;
    bool unloaded = false;
    bool closing = false;
    bool closeRequested = false;
};
