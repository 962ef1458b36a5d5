#include <kcmb/name_tables.h>

#include <cstddef>

namespace {

template <std::size_t N>
const char* lookup(const char* const (&table)[N], unsigned short code, const char* fallback)
{
    return code < N ? table[code] : fallback;
}

constexpr const char* kErrors[] = {
    "",
    "функция не поддерживается прибором",
    "неверный адрес",
    "неверные данные",
    "прибор не готов",
    "ошибка CRC",
    "неверный адрес прибора",
    "тайм-аут",
};

// Indexed by the model bits 0-6 of the type code.
constexpr const char* kModels[] = {
    "Калентир-A1 без индикации (КЛ-A1)",
    "Калентир-A1 с индикацией (КЛ-A1)",
    "Калентир-A1 (КЛ-A1)",
    "Калентир-B3 (КЛ-B3)",
    "",
    "",
    "Калентир-B2 (КЛ-B2)",
    "Калентир-B2 (КЛ-B2)",
};

constexpr const char* kTwoColourModels[] = {
    "", "", "", "Калентир-B3 2C(КЛ-B3 2C)", "", "", "", "Калентир-B2 2C(КЛ-B2 2C)",
};

constexpr const char* kSensors[] = {"кремний", "арсенид индия"};

constexpr const char* kModes[] = {"Измерение", "Сглаживание", "Выборка минимума", "Выборка максимума"};

constexpr const char* kBaudRates[] = {"600", "1200", "2400", "4800", "9600", "19200", "38400"};

constexpr const char* kSplineSteps[] = {"1", "2", "5", "10", "20", "50", "100", "200", "500", "1000", "2000", "5000"};

}  // namespace

const char* KCGetErrorTxt(unsigned short code) { return lookup(kErrors, code, "Unknow error"); }

const char* getDeviceName(unsigned short code)
{
    const auto model = static_cast<unsigned short>(code & 0x7F);
    return (code & 0x80) != 0 ? lookup(kTwoColourModels, model, "") : lookup(kModels, model, "");
}

const char* KCGetSensorName(unsigned short code) { return lookup(kSensors, code, ""); }

const char* KCGetDevModeName(unsigned short code) { return lookup(kModes, code, ""); }

const char* KCGetBaudRateName(unsigned short code) { return lookup(kBaudRates, code, nullptr); }

const char* KCGetSplineStepName(unsigned short code) { return lookup(kSplineSteps, code, ""); }
