#pragma once
// Fault rules given while the simulator runs: a thread reads lines in the --fault form from
// standard input and hands each to the sensor's thread, where it applies from then on.
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "sim/sensor.h"

namespace sim {

class ControlChannel {
public:
    // `refused` is called on the sensor's thread with the reason a line was not applied.
    ControlChannel(Sensor& sensor, std::function<void(const std::string&)> refused);
    // Lines read after this are dropped. The reading thread may be blocked in a read that
    // cannot be interrupted portably, so it is left to end with the process.
    ~ControlChannel();
    ControlChannel(const ControlChannel&) = delete;
    ControlChannel& operator=(const ControlChannel&) = delete;

private:
    // What the reading thread shares with the sensor's thread.
    struct Shared {
        std::mutex m_mutex;
        Sensor* m_sensor = nullptr;   // null once the channel is gone
        std::function<void(const std::string&)> m_refused;
    };
    static void Apply(Shared& shared, const std::string& line);

    std::shared_ptr<Shared> m_shared;
};

}   // namespace sim
