// Where the service host is: one process-wide, constant host name, port and
// scheme taken from the build constants. Release builds talk TLS on 443 with the
// system's normal certificate checks; test builds point at a loopback host.
#pragma once

#include <string>

namespace stubframework::core {

const wchar_t* ServiceHostName() noexcept;
unsigned short ServicePort() noexcept;
bool ServiceUsesTls() noexcept;

// Points a plain-HTTP (loopback) build at another port for the rest of the
// process; 0 restores the build's port. Refused (false) in builds that use TLS,
// so a release stub always talks to the host it was built for.
bool OverrideServicePort(unsigned short port) noexcept;

// "https://<host>[:<port>]<path>" (http without TLS); the port is written only
// when it is not the scheme's default.
std::wstring ServiceUrl(const std::wstring& path);

}  // namespace stubframework::core
