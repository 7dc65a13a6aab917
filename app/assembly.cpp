#include "app/assembly.h"

#include "app/session_controller.h"
#include "app/wizard_states.h"
#include "identity/id_card.h"
#include "identity/pkcs11_id_card.h"
#include "net/proxy_prompt.h"
#include "protocol/app_model.h"
#include "protocol/question_cursor.h"
#include "protocol/rpc_client.h"
#include "protocol/transport_config.h"
#include "resources/resource_access.h"

namespace sorvimend {

namespace {

// The proxy question goes to the view's dialog.
class ViewProxyPrompt final : public ProxyPrompt {
 public:
  ProxyPromptResult askProxy(ProxyDialogFields& fields) override {
    ViewPort* view = viewPort();
    return view ? view->askProxy(fields, true) : ProxyPromptResult::Cancelled;
  }
};

std::unique_ptr<ViewPort>& viewSingleton() {
  static std::unique_ptr<ViewPort> view;
  return view;
}

std::unique_ptr<PinPrompt>& pinPromptSingleton() {
  static std::unique_ptr<PinPrompt> prompt;
  return prompt;
}

ViewProxyPrompt& proxyPrompt() {
  static ViewProxyPrompt prompt;
  return prompt;
}

}  // namespace

ViewPort* viewPort() { return viewSingleton().get(); }

ErrorPtr checkElectionAtStart(AppModel& model) {
  if (ErrorPtr error = model.initialise()) return error;
  const std::string period = resourceText(ResourceId::RES_APP_VALID_PERIOD);
  if (clockBeforePeriod(period) || clockAfterPeriod(period)) {
    return makeError(ErrorClass::Environment, resourceText(ResourceId::STR_ERR_VALID_PERIOD));
  }
  return nullptr;
}

void assembleApplication(const AssemblyParts& parts) {
  auto model = std::make_unique<AppModel>();
  registerIdCard(std::make_unique<Pkcs11IdCard>(modulePathList(resourceTextList(ResourceId::RES_TECH_P11_LIBS_LINUX))));
  IdCard* card = idCard();
  if (parts.makePinPrompt) pinPromptSingleton() = parts.makePinPrompt();
  card->setPinPrompt(pinPromptSingleton().get());
  // An unreadable issuer list leaves the card without trusted issuers: no certificate is found.
  (void)card->setIssuerCertificates(resourceTextList(ResourceId::RES_DATA_ISSUER_CERTS));

  viewSingleton() = parts.makeView();
  ViewPort& view = *viewSingleton();
  view.connectControls([](UiEvent event) {
    if (SessionController* controller = sessionController()) controller->dispatch(event);
  });

  auto controller = std::make_unique<SessionController>(view, serviceOperations);
  if (ErrorPtr error = checkElectionAtStart(*model)) {
    controller->start(makeErrorState(std::move(error)));
  } else {
    controller->start(makeAuthChoiceState());
  }
  const std::string osDescription = model->systemDescription();
  registerSessionController(std::move(controller));
  registerAppModel(std::move(model));
  registerQuestionCursor(std::make_unique<SingleQuestionCursor>(false));

  RpcClient& rpc = RpcClient::create(transportConfigFromBundle());
  rpc.setOsDescription(osDescription);
  rpc.setProxyPrompt(&proxyPrompt());
}

void tearDownApplication() {
  RpcClient::destroy();
  registerIdCard(nullptr);
  registerAppModel(nullptr);
  registerQuestionCursor(nullptr);
  registerSessionController(nullptr);
}

}  // namespace sorvimend
