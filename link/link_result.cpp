#include <kcmb/link_result.h>

#include <kcmb/modbus_ascii.h>
#include <kcmb/name_tables.h>

namespace kc {

int Result::code() const
{
    switch (fault) {
    case Fault::None: return KC_OK;
    case Fault::DeviceException: return exception;
    case Fault::BadChecksum:
    case Fault::WrongFunction:
    case Fault::BadLength: return KC_BAD_LRC;
    case Fault::WrongAddress: return KC_WRONG_ADDRESS;
    case Fault::BadArgument: return KC_ILLEGAL_DATA;
    case Fault::Timeout:
    case Fault::EndlessInput:
    case Fault::PortBusy:
    case Fault::WriteFailed:
    case Fault::PortFailed: return KC_TIMEOUT;
    }
    return KC_TIMEOUT;
}

}  // namespace kc

const char* KCGetErrorTxt(const kc::Result& result)
{
    using kc::Fault;
    switch (result.fault) {
    case Fault::WrongFunction: return "неверный код функции в ответе";
    case Fault::BadLength: return "неверная длина ответа";
    case Fault::EndlessInput: return "на линии поток данных без ответа";
    case Fault::PortBusy: return "порт занят";
    case Fault::WriteFailed: return "ошибка передачи запроса";
    case Fault::PortFailed: return "порт недоступен";
    default: return KCGetErrorTxt(static_cast<unsigned short>(result.code()));
    }
}
