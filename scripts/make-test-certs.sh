#!/bin/sh
# Makes the test code-signing certificates in OUTDIR (never committed; a real
# release is signed with the maker's certificate, see the README):
#   root.crt/.key        "Varnel Test Root", the test root CA (the test Wine
#                        prefix trusts it; root.der is the same certificate)
#   harbinel.crt/.key    the publisher "Harbinel", issued by the test root
#   other.crt/.key       "Other Publisher", issued by the test root
#   notharbinel.crt/.key "Not Harbinel Ltd", issued by the test root
#   selfsigned.crt/.key  "Harbinel", self-signed
#   untrusted.crt/.key   "Harbinel", issued by "Varnel Untrusted Root" (not trusted)
# Usage: make-test-certs.sh OUTDIR (made anew each time; OUTDIR/stamp marks the end).
set -eu
out=$1
rm -rf "$out"
mkdir -p "$out"
cd "$out"

cat > ext.cnf <<'CNF'
[leaf]
basicConstraints = critical, CA:FALSE
keyUsage = critical, digitalSignature
extendedKeyUsage = codeSigning
subjectKeyIdentifier = hash
authorityKeyIdentifier = keyid
[selfleaf]
basicConstraints = critical, CA:FALSE
keyUsage = critical, digitalSignature
extendedKeyUsage = codeSigning
subjectKeyIdentifier = hash
CNF

key() { openssl genrsa -out "$1.key" 2048 2>/dev/null; }

root() {  # name subject
    key "$1"
    openssl req -new -x509 -key "$1.key" -out "$1.crt" -days 3650 -subj "$2" -sha256 \
        -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign"
}

leaf() {  # name subject issuer
    key "$1"
    openssl req -new -key "$1.key" -out "$1.csr" -subj "$2"
    openssl x509 -req -in "$1.csr" -CA "$3.crt" -CAkey "$3.key" -CAcreateserial -out "$1.crt" \
        -days 1825 -sha256 -extfile ext.cnf -extensions leaf 2>/dev/null
    rm -f "$1.csr"
}

root root "/CN=Varnel Test Root/O=Varnel Tests"
root untrusted-root "/CN=Varnel Untrusted Root/O=Varnel Tests"
leaf harbinel "/CN=Harbinel/O=Harbinel" root
leaf other "/CN=Other Publisher/O=Other Publisher" root
leaf notharbinel "/CN=Not Harbinel Ltd/O=Not Harbinel Ltd" root
leaf untrusted "/CN=Harbinel/O=Harbinel" untrusted-root
key selfsigned
openssl req -new -x509 -key selfsigned.key -out selfsigned.crt -days 1825 -subj "/CN=Harbinel/O=Harbinel" \
    -sha256 -addext "basicConstraints=critical,CA:FALSE" -addext "keyUsage=critical,digitalSignature" \
    -addext "extendedKeyUsage=codeSigning"
openssl x509 -in root.crt -outform DER -out root.der
# The chain a signed file carries: the leaf and the CA that issued it (a root
# in a signature does not make it trusted).
cat untrusted.crt untrusted-root.crt > untrusted-chain.crt
touch stamp
