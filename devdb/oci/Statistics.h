#pragma once
// What sessions cost the server, for programs measured as against a networked
// Oracle: per session the round trips, hard and soft parses, executions and
// rows processed; the statements each database has parsed before (its shared
// pool); and simulated delays for round trips and hard parses.
//
// Environment (read when a session begins, the file when it ends):
//   DEVDB_ROUND_TRIP_US  microseconds each round trip takes (default 0)
//   DEVDB_HARD_PARSE_US  microseconds each hard parse takes (default 0)
//   DEVDB_STATS_FILE     each session appends one line to this file when it ends:
//                        "round_trips=N hard_parses=N soft_parses=N executions=N rows=N"

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

namespace devdb::oci
{

struct SimulatedCosts {
    std::chrono::microseconds roundTrip{0};
    std::chrono::microseconds hardParse{0};
    static SimulatedCosts fromEnvironment();
};

class SessionStatistics
{
public:
    explicit SessionStatistics(SimulatedCosts costs) : costs_(costs) {}

    void roundTrip();
    void parse(bool hard);
    void execution() { ++executions_; }
    void rowsProcessed(std::uint64_t rows) { rows_ += rows; }

    std::uint64_t roundTrips() const { return roundTrips_; }
    std::string line() const;
    // Appends the line to DEVDB_STATS_FILE, once; later calls do nothing.
    void report();

private:
    // Sleeps for the cost, making up on later delays for what a sleep overran,
    // so that many delays add up to their sum.
    void delay(std::chrono::microseconds cost);

    SimulatedCosts costs_;
    std::chrono::nanoseconds owed_{0};
    std::uint64_t roundTrips_ = 0, hardParses_ = 0, softParses_ = 0, executions_ = 0, rows_ = 0;
    bool reported_ = false;
};

// The statistics of a new session, reported when finished or, for sessions
// still open then, when the process exits.
std::shared_ptr<SessionStatistics> startSessionStatistics();
void finishSessionStatistics(const std::shared_ptr<SessionStatistics> &statistics);

// The shared pool of a database: whether the account has had the text parsed
// in this database before (by any session of this process). Remembering is
// separate so that a text that fails to parse is not remembered. The pool keeps
// the most recent texts up to a bound, as a real one ages texts out.
bool parsedBefore(const std::string &database, const std::string &user, const std::string &text);
void rememberParsed(const std::string &database, const std::string &user, const std::string &text);

} // namespace devdb::oci
