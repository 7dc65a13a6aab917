#pragma once
// The collector's check of a submitted vote container: the archive layout, the manifest, the
// XAdES signature (both kinds of reference digest and the signature value) against the signer
// certificate, and the signer certificate against the election's CA certificates.
//
// The service accepts the one signature document layout the application writes (its elements
// already in canonical form) and checks it byte for byte; it does not run a general XML parser
// or canonicaliser.

#include <string>
#include <string_view>
#include <vector>

#include "util/openssl_ptr.h"

namespace sorvimend::demo {

struct ContainerCheck {
  std::string errorCode;  // a service error code; empty when the container was accepted
  std::string problem;    // what was wrong, for the service's log
  std::string signerCertificateDer;
  std::string signatureValueElement;
  std::string ballotName;
  std::string ballot;  // the ciphertext DER
};

constexpr std::string_view kAsicMimeType = "application/vnd.etsi.asic-e+zip";

// expectedBallot: the only data file the election allows (ELECTION.QUESTION.ballot).
// issuers: the CA certificates that may issue signing certificates (trust anchors, partial
// chains allowed).
[[nodiscard]] ContainerCheck checkContainer(std::string_view archive, std::string_view expectedBallot,
                                            X509_STORE* issuers);

}  // namespace sorvimend::demo
