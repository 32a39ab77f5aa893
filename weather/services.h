#pragma once

#include <algorithm>
#include <array>
#include <initializer_list>
#include <string_view>

#include "base/constant_text.h"
#include "weather/arguments.h"

// The public services every weather byte comes from, and the fixed requests made to them.
namespace weather {

inline constexpr char nws_api_host[] = "api.weather.gov";
inline constexpr char aviation_data_host[] = "aviationweather.gov";
inline constexpr char avalanche_api_host[] = "api.avalanche.org";
inline constexpr auto nws_api_host_utf16 = base::utf16_text(nws_api_host);
inline constexpr auto aviation_data_host_utf16 = base::utf16_text(aviation_data_host);
inline constexpr auto avalanche_api_host_utf16 = base::utf16_text(avalanche_api_host);

// The allow-list: each host the program may reach and the operations that may reach it. A
// request, and every redirect it follows, goes only to a host whose row names its operation.
struct AllowedHost {
    std::u16string_view host;
    std::array<std::string_view, 7> operations;  // unused places stay empty
};

inline constexpr std::array<AllowedHost, 3> allowed_hosts = {{
    {nws_api_host_utf16.view(),
     {"point", "alerts", "forecast", "discussion", "outlook", "zone", "winds"}},
    {aviation_data_host_utf16.view(), {"metars", "pireps", "tafs", "hazards"}},
    {avalanche_api_host_utf16.view(), {"avalanche"}},
}};

// Exact, case-sensitive comparison of both: no case folding, no trailing dot, no empty name.
constexpr bool may_reach(std::u16string_view host, std::string_view operation) {
    if (operation.empty()) {
        return false;
    }
    return std::any_of(allowed_hosts.begin(), allowed_hosts.end(), [&](const AllowedHost& row) {
        return row.host == host && std::find(row.operations.begin(), row.operations.end(),
                                             operation) != row.operations.end();
    });
}

inline constexpr char nws_api_prefix[] = "https://api.weather.gov/";
inline constexpr char nws_stations_prefix[] = "https://api.weather.gov/stations/";
inline constexpr char nws_points_prefix[] = "https://api.weather.gov/points/";

inline constexpr auto pilot_reports_url_text = join_text<128>(
    {"https://aviationweather.gov/api/data/pirep?bbox=", western_box, "&age=3&format=json"});
inline constexpr const char* pilot_reports_url = pilot_reports_url_text.text;
inline constexpr char active_alerts_url[] =
    "https://api.weather.gov/alerts/active?area=UT,AZ,NV,CA,CO,NM,OR,WA,ID,MT,WY";
inline constexpr char metar_box_url_prefix[] = "https://aviationweather.gov/api/data/metar?bbox=";
inline constexpr char metar_box_url_suffix[] = "&format=json";
inline constexpr char fixed_stations_metar_url[] =
    "https://aviationweather.gov/api/data/metar?ids=KSGU,KCDC,KAZC,KBCE,KPGA,KGCN&format=json";
inline constexpr const char* default_metar_bounds = western_box;
inline constexpr char taf_box_url_prefix[] = "https://aviationweather.gov/api/data/taf?bbox=";
inline constexpr char taf_box_url_suffix[] = "&format=json";
inline constexpr const char* default_taf_bounds = western_box;
inline constexpr char sigmets_url[] = "https://aviationweather.gov/api/data/airsigmet?format=json";
inline constexpr char gairmets_url[] = "https://aviationweather.gov/api/data/gairmet?format=json";
inline constexpr char center_advisories_url[] =
    "https://aviationweather.gov/api/data/cwa?format=json";
inline constexpr char nws_gridpoints_prefix[] = "https://api.weather.gov/gridpoints/";
inline constexpr char forecast_url_suffix[] = "/forecast";
// The latest text product of a type from one office: "<prefix>TYPE/locations/OFFICE/latest".
inline constexpr char office_products_url_prefix[] = "https://api.weather.gov/products/types/";
inline constexpr char avalanche_map_layer_url[] =
    "https://api.avalanche.org/v2/public/products/map-layer";
inline constexpr char nws_zones_prefix[] = "https://api.weather.gov/zones/";

// The winds and temperatures aloft bulletins by the page's argument: the 6-, 12- and 24-hour
// low-level tables (3,000 to 39,000 ft) and the high-level one (45,000 and 53,000 ft).
struct WindsBulletin {
    std::string_view argument;
    std::string_view product;
    std::string_view location;
};
inline constexpr WindsBulletin winds_bulletins[] = {
    {"06", "FD1", "US1"}, {"12", "FD3", "US3"}, {"24", "FD5", "US5"}, {"high", "FD8", "US7"}};

// What the operations answer when a service's document does not have the expected form.
inline constexpr char aviation_format_error[] =
    "Aviation weather service returned an unexpected data format";
inline constexpr char alerts_format_error[] =
    "NWS alert service returned an unexpected data format";
inline constexpr char forecast_format_error[] =
    "NWS forecast service returned an unexpected data format";
inline constexpr char discussion_format_error[] =
    "NWS discussion service returned an unexpected data format";
inline constexpr char outlook_format_error[] =
    "NWS outlook service returned an unexpected data format";
inline constexpr char avalanche_format_error[] =
    "Avalanche forecast service returned an unexpected data format";
inline constexpr char zone_format_error[] = "NWS zone service returned an unexpected data format";
inline constexpr char winds_format_error[] =
    "NWS winds aloft service returned an unexpected data format";

// Sent with every request.
inline constexpr char user_agent[] =
    "Pellowind/1.0 (Windows desktop weather map; NOAA public data)";
inline constexpr char accept_header[] = "Accept: application/geo+json, application/json\r\n";
inline constexpr auto user_agent_utf16 = base::utf16_text(user_agent);
inline constexpr auto accept_header_utf16 = base::utf16_text(accept_header);

}  // namespace weather
