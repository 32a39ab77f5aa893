#pragma once

#include <string_view>

#include "weather/constant_text.h"

// The two public services every weather byte comes from, and the fixed requests made to them.
namespace weather {

inline constexpr char nws_api_host[] = "api.weather.gov";
inline constexpr char aviation_data_host[] = "aviationweather.gov";
inline constexpr auto nws_api_host_utf16 = utf16_text(nws_api_host);
inline constexpr auto aviation_data_host_utf16 = utf16_text(aviation_data_host);

inline constexpr char nws_api_prefix[] = "https://api.weather.gov/";
inline constexpr char nws_stations_prefix[] = "https://api.weather.gov/stations/";
inline constexpr char nws_points_prefix[] = "https://api.weather.gov/points/";

inline constexpr char pilot_reports_url[] =
    "https://aviationweather.gov/api/data/pirep?bbox=31,-125,49.5,-102&age=3&format=json";
inline constexpr char active_alerts_url[] =
    "https://api.weather.gov/alerts/active?area=UT,AZ,NV,CA,CO,NM,OR,WA,ID,MT,WY";
inline constexpr char metar_box_url_prefix[] = "https://aviationweather.gov/api/data/metar?bbox=";
inline constexpr char metar_box_url_suffix[] = "&format=json";
inline constexpr char fixed_stations_metar_url[] =
    "https://aviationweather.gov/api/data/metar?ids=KSGU,KCDC,KAZC,KBCE,KPGA,KGCN&format=json";
inline constexpr char default_metar_bounds[] = "31,-125,49.5,-102";
inline constexpr char taf_box_url_prefix[] = "https://aviationweather.gov/api/data/taf?bbox=";
inline constexpr char taf_box_url_suffix[] = "&format=json";
inline constexpr char default_taf_bounds[] = "31,-125,49.5,-102";
inline constexpr char sigmets_url[] = "https://aviationweather.gov/api/data/airsigmet?format=json";
inline constexpr char gairmets_url[] = "https://aviationweather.gov/api/data/gairmet?format=json";
inline constexpr char center_advisories_url[] =
    "https://aviationweather.gov/api/data/cwa?format=json";
inline constexpr char nws_gridpoints_prefix[] = "https://api.weather.gov/gridpoints/";
inline constexpr char forecast_url_suffix[] = "/forecast";
inline constexpr char discussion_url_prefix[] =
    "https://api.weather.gov/products/types/AFD/locations/";
inline constexpr char discussion_url_suffix[] = "/latest";
inline constexpr char text_products_prefix[] = "https://api.weather.gov/products/types/";

// The winds and temperatures aloft bulletins by the page's argument: the 6-, 12- and 24-hour
// low-level tables (3,000 to 39,000 ft) and the high-level one (45,000 and 53,000 ft).
struct WindsBulletin {
    std::string_view argument;
    std::string_view product;
    std::string_view location;
};
inline constexpr WindsBulletin winds_bulletins[] = {
    {"06", "FD1", "US1"}, {"12", "FD3", "US3"}, {"24", "FD5", "US5"}, {"high", "FD8", "US7"}};
inline constexpr char nws_zones_prefix[] = "https://api.weather.gov/zones/";

// What the operations answer when a service's document does not have the expected form.
inline constexpr char aviation_format_error[] =
    "Aviation weather service returned an unexpected data format";
inline constexpr char alerts_format_error[] =
    "NWS alert service returned an unexpected data format";
inline constexpr char forecast_format_error[] =
    "NWS forecast service returned an unexpected data format";
inline constexpr char discussion_format_error[] =
    "NWS discussion service returned an unexpected data format";
inline constexpr char winds_format_error[] =
    "NWS winds aloft service returned an unexpected data format";
inline constexpr char zone_format_error[] = "NWS zone service returned an unexpected data format";

// Sent with every request.
inline constexpr char user_agent[] =
    "Pellowind/1.0 (Windows desktop weather map; NOAA public data)";
inline constexpr char accept_header[] = "Accept: application/geo+json, application/json\r\n";
inline constexpr auto user_agent_utf16 = utf16_text(user_agent);
inline constexpr auto accept_header_utf16 = utf16_text(accept_header);

}  // namespace weather
