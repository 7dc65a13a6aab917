#include "protocol/transport_config.h"

#include "resources/resource_access.h"

namespace sorvimend {

TransportConfig transportConfigFromBundle() {
  TransportConfig config;
  config.midCerts = resourceTextList(ResourceId::RES_DATA_MID_CERTS);
  config.smartIdCerts = resourceTextList(ResourceId::RES_DATA_SMARTID_CERTS);
  config.choicesCerts = resourceTextList(ResourceId::RES_DATA_CHOICES_CERTS);
  config.votingCerts = resourceTextList(ResourceId::RES_DATA_VOTING_CERTS);
  config.cipherList = resourceText(ResourceId::RES_TECH_SSL_CIPHER_LIST);
  config.maxMessageSize = resourceInteger(ResourceId::RES_TECH_MSG_SIZE);
  config.sslTimeout = resourceInteger(ResourceId::RES_TECH_SSL_TIMEOUT);
  config.sslRetryTimeout = resourceInteger(ResourceId::RES_TECH_SSL_RETRY_TIMEOUT);
  config.servers = resourceTextList(ResourceId::RES_APP_EVOTE_SERVER);
  config.choicesSni = resourceText(ResourceId::RES_TECH_CHOICES_SNI);
  config.votingSni = resourceText(ResourceId::RES_TECH_VOTING_SNI);
  config.midSni = resourceText(ResourceId::RES_TECH_MID_SNI);
  config.smartIdSni = resourceText(ResourceId::RES_TECH_SMARTID_SNI);
  config.proxyVariable = resourceText(ResourceId::RES_TECH_HTTPS_PROXY);
  return config;
}

}  // namespace sorvimend
