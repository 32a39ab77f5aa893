#include "weather/operations.h"

namespace weather {

Response run_operation(const std::string& operation, const std::string& argument) {
    // Created on first use and kept until the process ends, like its cache.
    static WeatherService service{Transport{platform_http_client()}};
    return service.run_operation(operation, argument);
}

}  // namespace weather
