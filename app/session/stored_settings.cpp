#include "session/stored_settings.h"

namespace {

bool flag(const SettingsBackend& store, const char* key, bool fallback)
{
    return store.value(key, fallback ? 1 : 0).toInt() != 0;
}

std::uint8_t lineState(const SettingsBackend& store, const char* key)
{
    return static_cast<std::uint8_t>(store.value(key, 255).toInt());
}

}  // namespace

StoredSettings readStoredSettings(const SettingsBackend& store)
{
    const StoredSettings d;
    StoredSettings s;
    s.port = store.value("Port", d.port).toString();
    s.numErrors = static_cast<std::uint16_t>(store.value("NumErrors", d.numErrors).toInt());
    s.periodMs = store.value("Period", d.periodMs).toInt();
    s.confirmUpdate = flag(store, "Confirm Update", d.confirmUpdate);
    s.log = flag(store, "Log", d.log);
    s.logFileName = store.value("LogFileName", d.logFileName).toString();
    s.timeCoeffMs = store.value("TimeCoeff", d.timeCoeffMs).toInt();
    s.readQuant = flag(store, "Read Quant", d.readQuant);
    s.automaticFlow = flag(store, "FlowControl", d.automaticFlow);
    s.sendDTR = lineState(store, "SendDTR");
    s.sendRTS = lineState(store, "SendRTS");
    s.recvDTR = lineState(store, "RecvDTR");
    s.recvRTS = lineState(store, "RecvRTS");
    return s;
}

void writeStoredSettings(SettingsBackend& store, const StoredSettings& s)
{
    store.setValue("Port", s.port);
    store.setValue("NumErrors", s.numErrors);
    store.setValue("Period", s.periodMs);
    store.setValue("Confirm Update", s.confirmUpdate ? 1 : 0);
    store.setValue("Log", s.log ? 1 : 0);
    store.setValue("LogFileName", s.logFileName);
    store.setValue("TimeCoeff", s.timeCoeffMs);
    store.setValue("FlowControl", s.automaticFlow ? 1 : 0);
    store.setValue("SendDTR", s.sendDTR);
    store.setValue("SendRTS", s.sendRTS);
    store.setValue("RecvDTR", s.recvDTR);
    store.setValue("RecvRTS", s.recvRTS);
}
