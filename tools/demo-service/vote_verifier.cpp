#include "tools/demo-service/vote_verifier.h"

#include <cstdio>
#include <filesystem>
#include <system_error>
#include <vector>

#include <rapidjson/document.h>

#include "tools/demo-service/der_reader.h"
#include "tools/demo-service/election.h"
#include "tools/demo-service/zip_reader.h"
#include "util/base64.h"
#include "util/bytes.h"

namespace sorvimend::demo {
namespace {

// A stored container is a few kilobytes; anything far larger is not one and is not read whole.
constexpr std::uintmax_t kMaxContainerBytes = 16u << 20;
constexpr std::size_t kMaxVoteIdLength = 64;

Verification badInput(std::string problem) {
  Verification v;
  v.outcome = VerifyOutcome::BadInput;
  v.problem = std::move(problem);
  return v;
}

// Positive INTEGER only, as in the key and the ciphertext.
BignumPtr readInteger(std::string_view& input) {
  auto element = readDer(input);
  if (!element || element->tag != kDerInteger || element->content.empty()) return nullptr;
  if (static_cast<std::uint8_t>(element->content[0]) & 0x80) return nullptr;
  return BignumPtr(BN_bin2bn(asUnsigned(element->content), static_cast<int>(element->content.size()), nullptr));
}

// p, g and y of the election's SubjectPublicKeyInfo; false when the layout is not the one the
// secret key code accepts.
bool readPublicNumbers(std::string_view spki, BignumPtr& p, BignumPtr& g, BignumPtr& y) {
  auto outer = readOnlyDer(spki, kDerSequence);
  if (!outer) return false;
  std::string_view rest = *outer;
  auto algorithm = readDer(rest);
  auto bits = readDer(rest);
  if (!algorithm || algorithm->tag != kDerSequence || !bits || bits->tag != kDerBitString || !rest.empty())
    return false;
  std::string_view alg = algorithm->content;
  if (alg.substr(0, kElGamalOidDer.size()) != kElGamalOidDer) return false;
  alg.remove_prefix(kElGamalOidDer.size());
  auto params = readOnlyDer(alg, kDerSequence);
  if (!params) return false;
  std::string_view paramRest = *params;
  p = readInteger(paramRest);
  g = readInteger(paramRest);
  if (!p || !g || bits->content.empty() || bits->content[0] != 0) return false;
  auto pub = readOnlyDer(bits->content.substr(1), kDerSequence);
  if (!pub) return false;
  std::string_view pubRest = *pub;
  y = readInteger(pubRest);
  return y && pubRest.empty();
}

// a and b of a ballot ciphertext (DER ELGAMAL_CIPHER).
bool readCiphertext(std::string_view cipherDer, BignumPtr& a, BignumPtr& b) {
  auto outer = readOnlyDer(cipherDer, kDerSequence);
  if (!outer) return false;
  std::string_view rest = *outer;
  auto alg = readDer(rest);
  auto inner = readDer(rest);
  if (!alg || alg->tag != kDerSequence || alg->content != kElGamalOidDer || !inner || inner->tag != kDerSequence ||
      !rest.empty())
    return false;
  std::string_view pair = inner->content;
  a = readInteger(pair);
  b = readInteger(pair);
  return a && b && pair.empty();
}

// Only the canonical form the program writes: the standard alphabet, "=" padding, no line
// breaks, no stray characters and no unused bits set. The lenient decoder alone would read
// almost any text as some number.
bool decodeRandomness(std::string_view text, std::string& bytes) {
  bytes = base64Decode(text);
  std::string again = base64EncodeLine(bytes);
  const bool canonical = !text.empty() && again == text;
  secureWipe(again);
  if (!canonical) secureWipe(bytes);
  return canonical;
}

bool isVoteId(const std::string& id) {
  if (id.empty() || id.size() > kMaxVoteIdLength) return false;
  for (char c : id) {
    const bool ok = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '-' || c == '_';
    if (!ok) return false;
  }
  return true;
}

const char* textMember(const rapidjson::Value& object, const char* name) {
  auto it = object.FindMember(name);
  return it != object.MemberEnd() && it->value.IsString() ? it->value.GetString() : nullptr;
}

}  // namespace

std::unique_ptr<VoteVerifier> VoteVerifier::open(const std::string& electionDir, std::string& problem) {
  const std::string configPath = electionDir + "/election.json";
  const auto configText = readFile(configPath);
  if (!configText) {
    problem = "cannot read " + configPath;
    return nullptr;
  }
  rapidjson::Document config;
  config.Parse(configText->data(), configText->size());
  const char* electionId = config.HasParseError() || !config.IsObject() ? nullptr : textMember(config, "electionId");
  const char* questionId = electionId ? textMember(config, "questionId") : nullptr;
  const char* publicName = questionId ? textMember(config, "electionPublicKey") : nullptr;
  const char* secretName = publicName ? textMember(config, "electionSecretKey") : nullptr;
  if (!secretName) {
    problem = configPath + ": electionId, questionId, electionPublicKey and electionSecretKey needed";
    return nullptr;
  }
  auto path = [&](const char* name) { return name[0] == '/' ? std::string(name) : electionDir + "/" + name; };
  const auto publicDer = readFile(path(publicName));
  if (!publicDer) {
    problem = "cannot read the election public key " + path(publicName);
    return nullptr;
  }
  auto secretHex = readFile(path(secretName));
  if (!secretHex) {
    problem = "cannot read the election secret key " + path(secretName);
    return nullptr;
  }

  auto verifier = std::make_unique<VoteVerifier>(OpenTag{});
  verifier->secretKey_ = ElGamalSecretKey::load(*publicDer, *secretHex);
  secureWipe(*secretHex);
  if (!verifier->secretKey_) {
    problem = "the election key pair does not load or does not match";
    return nullptr;
  }
  if (verifier->secretKey_->electionId() != electionId) {
    problem = "the election key belongs to election " + verifier->secretKey_->electionId() + ", not " + electionId;
    return nullptr;
  }
  if (!readPublicNumbers(*publicDer, verifier->p_, verifier->g_, verifier->y_)) {
    problem = "the election public key is not an ElGamal SubjectPublicKeyInfo";
    return nullptr;
  }
  verifier->q_.reset(BN_dup(verifier->p_.get()));
  if (!verifier->q_ || !BN_sub_word(verifier->q_.get(), 1) || !BN_rshift1(verifier->q_.get(), verifier->q_.get())) {
    problem = "out of memory";
    return nullptr;
  }
  verifier->ballotName_ = std::string(electionId) + "." + questionId + ".ballot";
  return verifier;
}

Verification VoteVerifier::verify(std::string_view archive, std::string_view randomnessBase64) const {
  const ZipResult zip = readZip(archive);
  if (!zip.problem.empty()) return badInput("the container is unreadable: " + zip.problem);
  const ZipEntry* ballot = nullptr;
  for (const ZipEntry& entry : zip.entries) {
    if (!entry.directory && entry.name == ballotName_) ballot = &entry;
  }
  if (!ballot) return badInput("the container holds no ballot " + ballotName_);
  BignumPtr a, b;
  auto plaintext = secretKey_->decrypt(ballot->content);
  if (!plaintext || !readCiphertext(ballot->content, a, b))
    return badInput("the ballot does not decrypt under the election key");

  std::string rBytes;
  if (!decodeRandomness(randomnessBase64, rBytes)) {
    secureWipe(*plaintext);
    return badInput("the randomness is not Base64 (standard alphabet, \"=\" padding, one line)");
  }
  SecretBignumPtr r(BN_bin2bn(asUnsigned(rBytes), static_cast<int>(rBytes.size()), nullptr));
  secureWipe(rBytes);
  if (!r || BN_is_zero(r.get()) || BN_cmp(r.get(), q_.get()) >= 0) {
    secureWipe(*plaintext);
    return badInput("the randomness is out of range (1 to q - 1)");
  }

  Verification result;
  result.outcome = reencrypts(*plaintext, r.get(), a.get(), b.get(), result.problem);
  // Whoever holds the wrong randomness learns nothing of the vote.
  if (result.outcome == VerifyOutcome::Verified) {
    result.plaintext = std::move(*plaintext);
  } else {
    secureWipe(*plaintext);
  }
  return result;
}

VerifyOutcome VoteVerifier::reencrypts(const std::string& plaintext, const BIGNUM* r, const BIGNUM* a, const BIGNUM* b,
                                       std::string& problem) const {
  // The plaintext goes into the group exactly as the voter's program put it there: the padded
  // block if it is a quadratic residue, p minus the block if not.
  const int k = BN_num_bytes(p_.get());
  if (k < 3 || plaintext.size() > static_cast<std::size_t>(k - 3)) {
    problem = "the plaintext does not fit the election key";
    return VerifyOutcome::BadInput;
  }
  std::string block = std::string("\x00\x01", 2) +
                      std::string(static_cast<std::size_t>(k) - 3 - plaintext.size(), '\xFF') + '\0' + plaintext;
  SecretBignumPtr m(BN_bin2bn(asUnsigned(block), static_cast<int>(block.size()), nullptr));
  secureWipe(block);
  BnCtxPtr ctx(BN_CTX_new());
  SecretBignumPtr s(BN_new());
  BignumPtr pMinusOne(BN_dup(p_.get()));
  BignumPtr expectA(BN_new());
  SecretBignumPtr yr(BN_new());
  SecretBignumPtr expectB(BN_new());
  problem = "out of memory";
  if (!m || !ctx || !s || !pMinusOne || !expectA || !yr || !expectB || !BN_sub_word(pMinusOne.get(), 1) ||
      !BN_mod_exp(s.get(), m.get(), q_.get(), p_.get(), ctx.get()))
    return VerifyOutcome::BadInput;
  if (BN_cmp(s.get(), pMinusOne.get()) == 0) {
    if (!BN_sub(m.get(), p_.get(), m.get())) return VerifyOutcome::BadInput;
  } else if (!BN_is_one(s.get())) {
    problem = "the plaintext has no encoding in the election group";
    return VerifyOutcome::BadInput;
  }
  if (!BN_mod_exp(expectA.get(), g_.get(), r, p_.get(), ctx.get()) ||
      !BN_mod_exp(yr.get(), y_.get(), r, p_.get(), ctx.get()) ||
      !BN_mod_mul(expectB.get(), m.get(), yr.get(), p_.get(), ctx.get()))
    return VerifyOutcome::BadInput;
  problem.clear();
  return BN_cmp(expectA.get(), a) == 0 && BN_cmp(expectB.get(), b) == 0 ? VerifyOutcome::Verified
                                                                        : VerifyOutcome::Mismatch;
}

Verification VoteVerifier::verifyStored(const std::string& stateDir, const std::string& voteId,
                                        std::string_view randomnessBase64) const {
  namespace fs = std::filesystem;
  if (!isVoteId(voteId)) return badInput("a vote id is 1 to 64 letters, digits, '-' or '_'");
  const fs::path file = fs::path(stateDir) / "containers" / (voteId + ".asice");
  std::error_code ec;
  if (!fs::is_regular_file(file, ec)) return badInput("no stored vote " + voteId + " (no " + file.string() + ")");
  const std::uintmax_t size = fs::file_size(file, ec);
  if (ec) return badInput("cannot read " + file.string() + ": " + ec.message());
  if (size > kMaxContainerBytes) return badInput(file.string() + " is too large to be a vote container");
  const auto archive = readFile(file.string());
  if (!archive) return badInput("cannot read " + file.string());
  return verify(*archive, randomnessBase64);
}

std::string shownPlaintext(std::string_view plaintext) {
  const bool utf8 = isUtf8(plaintext);
  std::string out;
  for (char c : plaintext) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte == 0x1F) {
      out.push_back('|');
    } else if (byte < 0x20 || byte == 0x7F || (byte >= 0x80 && !utf8)) {
      char hex[5];
      std::snprintf(hex, sizeof hex, "\\x%02X", byte);
      out += hex;
    } else {
      out.push_back(c);
    }
  }
  return out;
}

}  // namespace sorvimend::demo
