#pragma once

#include "service/service_platform.h"

namespace norvex::service::win32 {

class WinInetHttpClient : public HttpClient {
 public:
  HttpResult Get(const HttpRequest& request,
                 const std::function<bool(const char*, size_t)>* sink) override;
};

}  // namespace norvex::service::win32
