// Where the service host is: one process-wide, constant host name, port and
// scheme taken from the build constants. Release builds talk TLS on 443 with the
// system's normal certificate checks; test builds point at a loopback host.
#pragma once

#include <string>

namespace stubframework::core {

const wchar_t* ServiceHostName() noexcept;
unsigned short ServicePort() noexcept;
bool ServiceUsesTls() noexcept;

// "https://<host>[:<port>]<path>" (http without TLS); the port is written only
// when it is not the scheme's default.
std::wstring ServiceUrl(const std::wstring& path);

}  // namespace stubframework::core
