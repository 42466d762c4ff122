#pragma once

#include <memory>

class LogManager;
class RasDialerImpl;
class RasDialerPrivate;

// Owns the PPTP and L2TP worker thread and the dialer on it. Destroying it hangs up
// whatever is up and waits for the thread.
class RasDialer
{
public:
    explicit RasDialer(LogManager *logManager);
    ~RasDialer();

    // Lives on the worker thread: reach its slots with queued calls only.
    RasDialerImpl *impl() const;

private:
    std::unique_ptr<RasDialerPrivate> d;
};
