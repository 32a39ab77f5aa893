#pragma once

#include <memory>

#include "weather/http_client.h"

namespace transport {

// The weather transport's client on libcurl: HTTPS only, the system certificate store, the
// fixed User-Agent and Accept header, gzip/deflate decoding, redirects left to the transport,
// every wait ended by the exchange's deadline (reported as curl's time-out, error 28), and the
// body handed out piece by piece so the size cap is enforced while receiving.
class CurlClient : public weather::HttpClient {
public:
    CurlClient();
    std::unique_ptr<weather::HttpExchange> start_exchange(
        weather::Deadline deadline) const override;
};

}  // namespace transport
