#include "tests/support/test_pki.h"

#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>

namespace testsupport {
namespace {

struct KeyFree {
    void operator()(EVP_PKEY* k) const { EVP_PKEY_free(k); }
};
struct CertFree {
    void operator()(X509* c) const { X509_free(c); }
};
using Key = std::unique_ptr<EVP_PKEY, KeyFree>;
using Cert = std::unique_ptr<X509, CertFree>;

// P-256: quick to make, and accepted at OpenSSL's default security level.
Key NewKey() {
    return Key(EVP_EC_gen("P-256"));
}

bool AddExtension(X509* cert, X509* issuer, int nid, const std::string& value) {
    X509V3_CTX ctx;
    X509V3_set_ctx_nodb(&ctx);
    X509V3_set_ctx(&ctx, issuer, cert, nullptr, nullptr, 0);
    X509_EXTENSION* ext = X509V3_EXT_conf_nid(nullptr, &ctx, nid, value.c_str());
    if (!ext) return false;
    bool added = X509_add_ext(cert, ext, -1) == 1;
    X509_EXTENSION_free(ext);
    return added;
}

// A certificate for `key` named `commonName`, valid from an hour ago for a day; self-signed
// when `issuer` is null.
Cert NewCertificate(EVP_PKEY* key, const std::string& commonName, X509* issuer, EVP_PKEY* issuerKey,
                    long serial) {
    Cert cert(X509_new());
    X509* c = cert.get();
    X509_set_version(c, 2);
    ASN1_INTEGER_set(X509_get_serialNumber(c), serial);
    X509_gmtime_adj(X509_getm_notBefore(c), -3600);
    X509_gmtime_adj(X509_getm_notAfter(c), 86400);
    X509_set_pubkey(c, key);
    X509_NAME_add_entry_by_txt(X509_get_subject_name(c), "CN", MBSTRING_ASC,
                               reinterpret_cast<const unsigned char*>(commonName.c_str()), -1, -1,
                               0);
    X509_set_issuer_name(c, X509_get_subject_name(issuer ? issuer : c));
    return cert;
}

std::string Pem(X509* cert) {
    BIO* bio = BIO_new(BIO_s_mem());
    PEM_write_bio_X509(bio, cert);
    char* data = nullptr;
    long n = BIO_get_mem_data(bio, &data);
    std::string pem(data, static_cast<size_t>(n));
    BIO_free(bio);
    return pem;
}

std::string Pem(EVP_PKEY* key) {
    BIO* bio = BIO_new(BIO_s_mem());
    PEM_write_bio_PrivateKey(bio, key, nullptr, nullptr, 0, nullptr, nullptr);
    char* data = nullptr;
    long n = BIO_get_mem_data(bio, &data);
    std::string pem(data, static_cast<size_t>(n));
    BIO_free(bio);
    return pem;
}

}  // namespace

struct TestAuthority::Impl {
    Key key;
    Cert cert;
    long nextSerial = 2;
    std::string dir, file;
};

TestAuthority::TestAuthority(const std::string& name) : impl_(std::make_unique<Impl>()) {
    impl_->key = NewKey();
    if (!impl_->key) return;
    Cert cert = NewCertificate(impl_->key.get(), name, nullptr, nullptr, 1);
    X509* c = cert.get();
    if (!AddExtension(c, c, NID_basic_constraints, "critical,CA:TRUE") ||
        !AddExtension(c, c, NID_key_usage, "critical,keyCertSign,cRLSign") ||
        !AddExtension(c, c, NID_subject_key_identifier, "hash") ||
        X509_sign(c, impl_->key.get(), EVP_sha256()) <= 0)
        return;
    impl_->cert = std::move(cert);
}

TestAuthority::~TestAuthority() {
    std::error_code ignored;
    if (!impl_->dir.empty()) std::filesystem::remove_all(impl_->dir, ignored);
}

bool TestAuthority::ok() const {
    return impl_->cert != nullptr;
}

ServerIdentity TestAuthority::Issue(const std::string& altNames) {
    if (!ok()) return {};
    Key key = NewKey();
    if (!key) return {};
    Cert cert = NewCertificate(key.get(), "qirlen test server", impl_->cert.get(), impl_->key.get(),
                               impl_->nextSerial++);
    X509* c = cert.get();
    X509* issuer = impl_->cert.get();
    if (!AddExtension(c, issuer, NID_basic_constraints, "critical,CA:FALSE") ||
        !AddExtension(c, issuer, NID_ext_key_usage, "serverAuth") ||
        !AddExtension(c, issuer, NID_authority_key_identifier, "keyid") ||
        !AddExtension(c, issuer, NID_subject_alt_name, altNames) ||
        X509_sign(c, impl_->key.get(), EVP_sha256()) <= 0)
        return {};
    return {Pem(c) + Pem(issuer), Pem(key.get())};
}

std::string TestAuthority::CertificateFile() {
    if (!ok()) return "";
    if (!impl_->file.empty()) return impl_->file;
    char dir[] = "/tmp/qirlen-ca-XXXXXX";
    if (!mkdtemp(dir)) return "";
    impl_->dir = dir;
    impl_->file = impl_->dir + "/ca.pem";
    std::ofstream(impl_->file) << Pem(impl_->cert.get());
    return impl_->file;
}

}  // namespace testsupport
