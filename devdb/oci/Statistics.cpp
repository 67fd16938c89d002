#include "devdb/oci/Statistics.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <unordered_set>

namespace devdb::oci
{
namespace
{

std::chrono::microseconds microsecondsFrom(const char *name)
{
    const char *value = std::getenv(name);
    if (!value || !*value)
        return std::chrono::microseconds(0);
    char *end = nullptr;
    long long n = std::strtoll(value, &end, 10);
    return std::chrono::microseconds(*end == '\0' && n > 0 ? n : 0);
}

// Sessions not yet reported. Never destroyed: sessions may end while the
// process exits, after the report of the open ones has run.
struct Registry {
    std::mutex mutex;
    std::unordered_set<std::shared_ptr<SessionStatistics>> open;
};

Registry &registry()
{
    static auto *instance = new Registry;
    return *instance;
}

// Reports the sessions a process leaves open when it exits.
struct ReportAtExit {
    ~ReportAtExit()
    {
        Registry &r = registry();
        std::lock_guard lock(r.mutex);
        for (const auto &statistics : r.open)
            statistics->report();
        r.open.clear();
    }
} reportAtExit;

class SharedPool
{
public:
    bool contains(std::size_t key)
    {
        std::lock_guard lock(mutex_);
        return keys_.count(key) != 0;
    }
    void add(std::size_t key)
    {
        std::lock_guard lock(mutex_);
        if (!keys_.insert(key).second)
            return;
        order_.push_back(key);
        if (order_.size() > kCapacity) {
            keys_.erase(order_.front());
            order_.pop_front();
        }
    }

private:
    static constexpr std::size_t kCapacity = 1 << 18;
    std::mutex mutex_;
    std::unordered_set<std::size_t> keys_;
    std::deque<std::size_t> order_;
};

SharedPool &sharedPool()
{
    static auto *instance = new SharedPool;
    return *instance;
}

std::size_t poolKey(const std::string &database, const std::string &user, const std::string &text)
{
    std::string key;
    key.reserve(database.size() + user.size() + text.size() + 2);
    key.append(database).append(1, '\0').append(user).append(1, '\0').append(text);
    return std::hash<std::string>()(key);
}

} // namespace

SimulatedCosts SimulatedCosts::fromEnvironment()
{
    return {microsecondsFrom("DEVDB_ROUND_TRIP_US"), microsecondsFrom("DEVDB_HARD_PARSE_US")};
}

void SessionStatistics::roundTrip()
{
    ++roundTrips_;
    delay(costs_.roundTrip);
}

void SessionStatistics::parse(bool hard)
{
    if (!hard) {
        ++softParses_;
        return;
    }
    ++hardParses_;
    delay(costs_.hardParse);
}

void SessionStatistics::delay(std::chrono::microseconds cost)
{
    if (cost.count() <= 0)
        return;
    std::chrono::nanoseconds wanted = owed_ + cost;
    if (wanted.count() <= 0) {
        owed_ = wanted;
        return;
    }
    auto start = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(wanted);
    owed_ = wanted -
            std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now() - start);
}

std::string SessionStatistics::line() const
{
    return "round_trips=" + std::to_string(roundTrips_) + " hard_parses=" + std::to_string(hardParses_) +
           " soft_parses=" + std::to_string(softParses_) + " executions=" + std::to_string(executions_) +
           " rows=" + std::to_string(rows_);
}

void SessionStatistics::report()
{
    if (reported_)
        return;
    reported_ = true;
    const char *path = std::getenv("DEVDB_STATS_FILE");
    if (!path || !*path)
        return;
    int fd = ::open(path, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        return;
    // One write per line, so that lines of concurrent sessions never interleave.
    std::string text = line() + "\n";
    [[maybe_unused]] ssize_t written = ::write(fd, text.data(), text.size());
    ::close(fd);
}

std::shared_ptr<SessionStatistics> startSessionStatistics()
{
    auto statistics = std::make_shared<SessionStatistics>(SimulatedCosts::fromEnvironment());
    Registry &r = registry();
    std::lock_guard lock(r.mutex);
    r.open.insert(statistics);
    return statistics;
}

void finishSessionStatistics(const std::shared_ptr<SessionStatistics> &statistics)
{
    if (!statistics)
        return;
    Registry &r = registry();
    std::lock_guard lock(r.mutex);
    statistics->report();
    r.open.erase(statistics);
}

bool parsedBefore(const std::string &database, const std::string &user, const std::string &text)
{
    return sharedPool().contains(poolKey(database, user, text));
}

void rememberParsed(const std::string &database, const std::string &user, const std::string &text)
{
    sharedPool().add(poolKey(database, user, text));
}

} // namespace devdb::oci
