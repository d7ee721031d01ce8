#include "Global.h"

namespace orvanta::curl {

Global::Global() : m_code(curl_global_init(CURL_GLOBAL_ALL)) {}

Global::~Global()
{
    // A failed init is not counted by libcurl, so a clean-up would unbalance it.
    if (ok())
        curl_global_cleanup();
}

} // namespace orvanta::curl
