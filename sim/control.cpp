#include "sim/control.h"

#include <iostream>
#include <thread>

namespace sim {

ControlChannel::ControlChannel(Sensor& sensor, std::function<void(const std::string&)> refused)
    : m_shared(std::make_shared<Shared>()) {
    m_shared->m_sensor = &sensor;
    m_shared->m_refused = std::move(refused);
    std::thread([shared = m_shared] {
        std::string line;
        while (std::getline(std::cin, line)) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            if (line.empty()) continue;
            const std::lock_guard<std::mutex> lock(shared->m_mutex);
            if (!shared->m_sensor) return;
            // Queued into the sensor's thread; dropped by Qt if the sensor is gone by then.
            QMetaObject::invokeMethod(
                shared->m_sensor, [shared, line] { Apply(*shared, line); }, Qt::QueuedConnection);
        }
    }).detach();
}

ControlChannel::~ControlChannel() {
    const std::lock_guard<std::mutex> lock(m_shared->m_mutex);
    m_shared->m_sensor = nullptr;
}

void ControlChannel::Apply(Shared& shared, const std::string& line) {
    Sensor* sensor = nullptr;
    {
        const std::lock_guard<std::mutex> lock(shared.m_mutex);
        sensor = shared.m_sensor;
    }
    if (!sensor) return;
    std::string error;
    if (const auto rule = ParseFaultSpec(line, error))
        sensor->addFault(rule->m_code, rule->m_fault, rule->m_count);
    else
        shared.m_refused(error);
}

}   // namespace sim
