#pragma once

#include <string>

#include "weather/fetch.h"
#include "weather/response.h"

// The forecast offices' words and areas: the 12-hour forecast of a grid cell, the latest
// discussion and outlooks, the latest winds and temperatures aloft bulletin and the shape of a
// zone that alerts name.
namespace weather {

// The forecast document of the grid cell "OFFICE/X,Y", passed on whole. 400 for a bad
// argument, 502 with the URL as source when "properties" holds no "periods" array; throws what
// fetch_json throws.
Response twelve_hour_forecast(const FetchContext& transport, const std::string& argument);

// {"issuanceTime", "issuingOffice", "productText"} of the office's latest Area Forecast
// Discussion (a missing member is null). 400 for an argument that is not three capital letters,
// 502 with the URL as source when the document has no string "productText"; throws what
// fetch_json throws.
Response forecast_discussion(const FetchContext& transport, const std::string& argument);

// The same for "HWO/OFFICE" (Hazardous Weather Outlook) or "FWF/OFFICE" (Fire Weather Planning
// Forecast); 400 for any other argument.
Response office_outlook(const FetchContext& transport, const std::string& argument);

// The zone document of "TYPE/ID" (forecast/UTZ110), passed on whole. 400 for a bad argument,
// 502 with the URL as source when the document is not an object with a "geometry" member;
// throws what fetch_json throws.
Response zone_document(const FetchContext& transport, const std::string& argument);
// The latest winds-aloft bulletin chosen by "06", "12", "24" or "high", in the discussion's shape.
// 400 for any other argument, 502 with the URL as source when the document has no string
// "productText" or names another product in "productCode"; throws what fetch_json throws.
Response winds_aloft(const FetchContext& transport, const std::string& argument);

}  // namespace weather
