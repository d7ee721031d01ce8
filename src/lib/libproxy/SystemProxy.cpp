#include "SystemProxy.h"

#include <mutex>

#include <proxy.h>

namespace orvanta::proxy {

namespace {

// Made once: the factory loads its configuration modules when it is created.
pxProxyFactory* factory()
{
    static pxProxyFactory* const made = px_proxy_factory_new();
    return made;
}

} // namespace

std::vector<std::string> systemProxiesFor(const std::string& url)
{
    static std::mutex mutex;
    std::lock_guard lock(mutex);
    pxProxyFactory* proxies = factory();
    if (!proxies)
        return {};
    char** list = px_proxy_factory_get_proxies(proxies, url.c_str());
    if (!list)
        return {};
    std::vector<std::string> result;
    for (char** entry = list; *entry; ++entry)
        result.emplace_back(*entry);
    px_proxy_factory_free_proxies(list);
    return result;
}

} // namespace orvanta::proxy
