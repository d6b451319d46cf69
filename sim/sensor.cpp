#include "sim/sensor.h"

#include <QFile>
#include <QSaveFile>
#include <algorithm>

#include "core/paramfile.h"
#include "sim/clock.h"

namespace sim {

namespace {
constexpr qint64 kMaxEepromFileBytes = 64 * 1024;   // far more than 16 values take

// The payload of a parameter write into a record.
void StoreRecord(const Telegram& request, Record& record) {
    uint16_t words[sensorlink::kTelegramWords];
    sensorlink::UnpackTelegram(request.data(), words);
    std::copy_n(words + 2, sensorlink::kRecordWords, record.begin());
}
}   // namespace

Sensor::Sensor(uint64_t seed, QObject* parent) : QObject(parent), m_model(StartModel(seed)) {
    m_triggerTimer.setTimerType(Qt::PreciseTimer);
    m_triggerTimer.setInterval(kTriggerPollMs);
    connect(&m_triggerTimer, &QTimer::timeout, this, &Sensor::advance);
    advance();
}

// Keeps the traffic of the recent past: a sensor left polling for hours must not grow.
void Sensor::log(LogEntry entry) {
    if (m_log.size() >= kMaxLogEntries)
        m_log.erase(m_log.begin(), m_log.begin() + kMaxLogEntries / 2);
    m_log.push_back(std::move(entry));
}

std::optional<ReplyPlan> Sensor::answer(const Telegram& request) {
    log({LogKind::Request, {request.begin(), request.end()}});
    advance();
    const uint16_t code = TelegramCode(request);
    switch (code) {
    case sensorlink::kCodeParaWrite:
        StoreRecord(request, m_ram);
        return deliver(code, echo(request));
    case sensorlink::kCodeParaRead: {
        const Record& record = m_readEeprom ? m_eeprom : m_ram;
        m_readEeprom = false;
        return deliver(code, recordReply(code, record));
    }
    case sensorlink::kCodeData:
        return deliver(code, recordReply(code, DataWords(m_model)));
    case sensorlink::kCodeEepromStore:
        storeEeprom();
        return deliver(code, echo(request));
    case sensorlink::kCodeIdentify:
        return deliver(code, identificationReply());
    case sensorlink::kCodeEepromLoad:
        m_readEeprom = true;
        return deliver(code, echo(request));
    default:
        return {};
    }
}

int Sensor::addFault(uint16_t code, const Fault& fault, int count) {
    m_faults.push_back({code, fault, count, 0});
    return static_cast<int>(m_faults.size()) - 1;
}

int Sensor::faultApplied(int id) const {
    return id >= 0 && id < static_cast<int>(m_faults.size()) ? m_faults[id].m_applied : 0;
}

QString Sensor::useEepromFile(const QString& path) {
    m_eepromPath = path;
    QFile file(path);
    if (!file.exists()) return "the file does not exist yet";
    if (!file.open(QIODevice::ReadOnly)) return file.errorString();
    const QByteArray text = file.read(kMaxEepromFileBytes + 1);
    if (text.size() > kMaxEepromFileBytes) return "the file is too large";
    Record record{};
    const std::string reason = sensorlink::ParseParameterFile(
        std::string_view(text.constData(), static_cast<size_t>(text.size())), record.data());
    if (!reason.empty()) return QString::fromStdString(reason);
    m_eeprom = record;
    m_ram = record;
    return {};
}

void Sensor::emitTriggeredFrame() {
    advance();
    emitFrame();
}

void Sensor::watchTriggered(bool on) {
    m_watchers = std::max(m_watchers + (on ? 1 : -1), 0);
    if (m_watchers > 0 && !m_triggerTimer.isActive()) m_triggerTimer.start();
    if (m_watchers == 0) m_triggerTimer.stop();
}

std::vector<Telegram> Sensor::requests() const {
    std::vector<Telegram> result;
    for (const LogEntry& entry : m_log) {
        if (entry.m_kind != LogKind::Request) continue;
        Telegram& request = result.emplace_back();
        std::copy(entry.m_bytes.begin(), entry.m_bytes.end(), request.begin());
    }
    return result;
}

// Steps the model up to the present; output changes become triggered frames while
// a connection awaits them.
void Sensor::advance() {
    const auto now = static_cast<qint64>(NowMs());
    // After a long idle spell only the last moments matter; stepping through hours of
    // ticks would stall the first request.
    if (now - m_model.m_tick * kModelTickMs > kMaxCatchUpMs)
        m_model.m_tick = (now - kMaxCatchUpMs) / kModelTickMs;
    while (m_model.m_tick * kModelTickMs <= now)
        if (StepModel(m_model, m_ram) && m_watchers > 0) emitFrame();
}

void Sensor::emitFrame() {
    if (auto plan = deliver(sensorlink::kCodeTriggered,
                            recordReply(sensorlink::kCodeTriggered, DataWords(m_model))))
        emit triggeredFrame(*plan);
}

ReplyPlan Sensor::echo(const Telegram& request) const {
    ReplyPlan plan;
    plan.m_bytes.assign(request.begin(), request.end());
    plan.m_bytes[0] = sensorlink::kReplyMark >> 8;
    plan.m_bytes[1] = sensorlink::kReplyMark & 0xFF;
    return plan;
}

ReplyPlan Sensor::recordReply(uint16_t code, const Record& record) const {
    ReplyPlan plan;
    plan.m_bytes.resize(sensorlink::kTelegramBytes);
    sensorlink::PackTelegram(sensorlink::kReplyMark, code, record.data(), plan.m_bytes.data());
    return plan;
}

// The identification reply is text, NUL padded or cut to the telegram size.
ReplyPlan Sensor::identificationReply() const {
    ReplyPlan plan;
    plan.m_bytes.assign(sensorlink::kTelegramBytes, 0);
    std::copy_n(m_identification.begin(),
                std::min<size_t>(m_identification.size(), sensorlink::kTelegramBytes),
                plan.m_bytes.begin());
    return plan;
}

// Stores the RAM record in the EEPROM and, when a file keeps it, in the file.
void Sensor::storeEeprom() {
    m_eeprom = m_ram;
    if (m_eepromPath.isEmpty()) return;
    const std::string text = sensorlink::FormatParameterFile(m_eeprom.data());
    const auto size = static_cast<qint64>(text.size());
    QSaveFile file(m_eepromPath);
    if (file.open(QIODevice::WriteOnly) && file.write(text.data(), size) == size && file.commit())
        return;
    emit eepromFileFailed(m_eepromPath + ": " + file.errorString());
}

// Applies the faults armed for code in kind order, logs what leaves and tells of it.
std::optional<ReplyPlan> Sensor::deliver(uint16_t code, ReplyPlan plan) {
    std::vector<FaultEntry*> armed;
    for (FaultEntry& entry : m_faults)
        if (entry.m_code == code && entry.m_remaining != 0) armed.push_back(&entry);
    std::stable_sort(armed.begin(), armed.end(), [](const FaultEntry* a, const FaultEntry* b) {
        return a->m_fault.m_kind < b->m_fault.m_kind;
    });
    for (FaultEntry* entry : armed) {
        ++entry->m_applied;
        if (entry->m_remaining > 0) --entry->m_remaining;
        if (!ApplyFault(plan, entry->m_fault)) {
            emit replyLeft(code, ReplyPlan{});
            return {};
        }
    }
    log({LogKind::Reply, plan.m_bytes});
    emit replyLeft(code, plan);
    return plan;
}

}   // namespace sim
