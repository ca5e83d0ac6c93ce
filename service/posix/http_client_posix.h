#pragma once

#include "service/service_platform.h"

namespace norvex::service::posix {

class CurlHttpClient : public HttpClient {
 public:
  CurlHttpClient();
  HttpResult Get(const HttpRequest& request,
                 const std::function<bool(const char*, size_t)>* sink) override;
};

}  // namespace norvex::service::posix
