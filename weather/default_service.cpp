#include "weather/operations.h"

namespace weather {

Response run_operation(const std::string& operation, const std::string& argument) {
    // Created on first use and never destroyed: request threads are not joined, so one may
    // still be using the service while the process runs its exit-time destructors.
    static WeatherService& service = *new WeatherService(FetchContext{platform_http_client()});
    return service.run_operation(operation, argument);
}

}  // namespace weather
