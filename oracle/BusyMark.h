#pragma once

namespace rowpour::oracle
{

// Marks a query busy (1 executing, 2 fetching) until the scope ends, also by an exception.
class BusyMark
{
public:
    BusyMark(int &mark, int value) : mark_(mark) { mark_ = value; }
    ~BusyMark() { mark_ = 0; }
    BusyMark(const BusyMark &) = delete;
    BusyMark &operator=(const BusyMark &) = delete;

private:
    int &mark_;
};

} // namespace rowpour::oracle
