#pragma once

#include <memory>

#include "weather/http_client.h"

namespace transport {

// The weather transport's client on libcurl: HTTPS only, the system certificate store, the
// fixed User-Agent and Accept header, gzip/deflate decoding, same-scheme redirects, and the
// body handed out piece by piece so the size cap is enforced while receiving.
class CurlClient : public weather::HttpClient {
public:
    CurlClient();
    std::unique_ptr<weather::HttpExchange> start_exchange() const override;
};

}  // namespace transport
