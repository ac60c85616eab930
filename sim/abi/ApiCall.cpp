#include "sim/abi/ApiCall.h"

namespace kobalt::sim {

int ApiCall::Finish(ResultCode code) {
    if (code != kOk && m_api == Api::IsConnected) {
        return FinishValue(0);
    }
    return FinishValue(code);
}

int ApiCall::FinishValue(int value) {
    if (!m_line.empty()) {
        m_line += " = ";
        m_line += std::to_string(value);
        m_backend.GetTrace().WriteLine(m_line);
    }
    return value;
}

} // namespace kobalt::sim
