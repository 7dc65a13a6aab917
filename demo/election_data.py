#!/usr/bin/env python3
"""Writes the generated parts of the demo election into OUTDIR (called by demo/make-election).

Usage: election_data.py OUTDIR BUNDLE_TEMPLATE|- PORT

OUTDIR already holds the test PKI in OUTDIR/pki. Writes OUTDIR/choices/*.json,
OUTDIR/election.json (the demo service's configuration) and, when a bundle template is given,
OUTDIR/bundle.json with the servers, names, certificate sets, key and districts filled in.
"""
import base64
import json
import os
import sys

ELECTION_ID = "DEMO2026"
QUESTION_ID = "RK2026"
QUESTION_TITLE = "Riigikogu valimised 2026"
SERVER_NAMES = {
    "CHOICES": "choices.sorvimend.test",
    "VOTING": "voting.sorvimend.test",
    "MID": "mid.sorvimend.test",
    "SMARTID": "smartid.sorvimend.test",
}

GIVEN = ["Mari", "Jaan", "Kadri", "Toomas", "Liis", "Mart", "Ülle", "Jüri", "Tiiu", "Priit",
         "Ene", "Andres", "Külli", "Peeter", "Õie", "Rein"]
SURNAMES = ["Tamm", "Saar", "Sepp", "Mägi", "Kask", "Kukk", "Rebane", "Ilves", "Pärn", "Koppel",
            "Lepik", "Kuusk", "Õunapuu", "Väli", "Järv", "Käär"]
PARTIES = ["Eesti Tuleviku Erakond", "Rohelised & Sõbrad", "Üksikkandidaadid", "Maarahva Liit",
           "Kesk-Eesti Ühendus", "Vabaerakond \"Homme\""]

# District identifier, name, number of lists, choices per list.
DISTRICTS = [
    ("0001.1", "Tallinna Haabersti, Põhja-Tallinna ja Kristiine", 3, 4),
    ("0002.1", "Tartu linn", 2, 3),
    ("0003.1", "Suur katseringkond", 20, 250),  # 5000 choices, for performance work
]

# Personal code, given name, surname, district, scenario. The phone number of each is
# +3725550 followed by the last four digits of the code.
VOTERS = [
    ("38001010008", "MARI-LIIS", "MÄNNIK", "0001.1", "normal"),
    ("49002020002", "JAAN", "ÕUNAPUU", "0002.1", "normal"),
    ("38001010016", "MID", "MITTEKASUTAJA", "0001.1", "not-user"),
    ("38001010024", "KATKESTAJA", "AUTENTIMINE", "0001.1", "auth-cancelled"),
    ("38001010032", "KORDUS", "HÄÄLETAJA", "0001.1", "voted-before"),
    ("38001010040", "EI", "VALIJA", "0001.1", "ineligible"),
    ("38001010059", "VANA", "NIMEKIRI", "0001.1", "outdated-choices"),
    ("38001010067", "KATKESTAJA", "ALLKIRI", "0001.1", "sign-cancelled"),
    ("38001010075", "VIGANE", "AJATEMPEL", "0001.1", "broken-timestamp"),
    ("38001010083", "VIGANE", "REGISTREERING", "0001.1", "broken-registration"),
    ("38001010091", "VIGANE", "OCSP", "0001.1", "broken-ocsp"),
    ("38001010105", "TEST", "HÄÄL", "0001.1", "test-vote"),
    ("38001010113", "HILINE", "HÄÄLETAJA", "0001.1", "voting-end"),
    ("38001010121", "SUUR", "RINGKOND", "0003.1", "normal"),
]


def phone_of(code):
    return "+3725550" + code[-4:]


def choices_document(district, lists, per_list):
    code = district.split(".")[0]
    doc = {}
    number = 101
    for i in range(lists):
        party = PARTIES[i % len(PARTIES)] if lists <= len(PARTIES) else "Nimekiri %d" % (i + 1)
        members = {}
        for j in range(per_list):
            given = GIVEN[(i * 7 + j) % len(GIVEN)]
            surname = SURNAMES[(i * 3 + j * 5) % len(SURNAMES)]
            suffix = "" if per_list <= len(SURNAMES) else "-%d" % j
            members["%s.%d" % (code, number)] = "%s %s%s" % (given, surname, suffix)
            number += 1
        doc[party] = members
    return doc


def pem(path):
    with open(path) as f:
        return f.read()


def main():
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    out, template, port = sys.argv[1], sys.argv[2], int(sys.argv[3])
    os.makedirs(os.path.join(out, "choices"), exist_ok=True)
    districts = {}
    for ident, _name, lists, per_list in DISTRICTS:
        rel = "choices/%s.json" % ident
        with open(os.path.join(out, rel), "w", encoding="utf-8") as f:
            json.dump(choices_document(ident, lists, per_list), f, ensure_ascii=False, separators=(",", ":"))
        districts[ident] = rel

    def signer(name):
        return {"certificate": "pki/%s.pem" % name, "key": "pki/%s.key.pem" % name}

    election = {
        "electionId": ELECTION_ID,
        "questionId": QUESTION_ID,
        "servers": [dict(name=SERVER_NAMES[k], **signer("server-" + k.lower()))
                    for k in ("VOTING", "CHOICES", "MID", "SMARTID")],
        "voterCas": ["pki/voter-ca.pem", "pki/root-ca.pem"],
        "ocspResponder": signer("ocsp"),
        "tsa": signer("tsa"),
        "registration": signer("registration"),
        "electionPublicKey": "pki/election-2048.pub.der",
        "electionSecretKey": "pki/election-2048.secret",
        "districts": districts,
        # The simulated phones sign with the demo voter's keys: Mobile-ID with EC, Smart-ID
        # with RSA, so both signature forms are exercised.
        "phoneSigners": {"mid": signer("voter1-sign-ec"), "smartid": signer("voter1-sign-rsa")},
        "voters": [],
    }
    for code, given, surname, district, scenario in VOTERS:
        voter = {"personalCode": code, "givenName": given, "surname": surname,
                 "phone": phone_of(code), "district": district, "scenario": scenario}
        if code == "49002020002":
            voter["midSigner"] = signer("voter2-sign-ec")
            voter["smartIdSigner"] = signer("voter2-sign-rsa")
        election["voters"].append(voter)
    with open(os.path.join(out, "election.json"), "w", encoding="utf-8") as f:
        json.dump(election, f, ensure_ascii=False, indent=1)

    if template == "-":
        return
    with open(template, encoding="utf-8") as f:
        bundle = json.load(f)
    pki = os.path.join(out, "pki")
    with open(os.path.join(pki, "election-2048.pub.der"), "rb") as f:
        key = base64.b64encode(f.read()).decode()
    app = bundle.setdefault("RES_APP", {})
    app["EVOTE_SERVER"] = ["127.0.0.1:%d" % port]
    app["ELECTION_ID"] = ELECTION_ID
    app["DEFAULT_QUESTION_ID"] = QUESTION_ID
    app["QUESTIONS"] = {QUESTION_ID: QUESTION_TITLE}
    app["VOTE_DISTRICTS"] = "".join("%s=%s\n" % (d[0], d[1]) for d in DISTRICTS)
    data = bundle.setdefault("RES_DATA", {})
    data["PUBLIC_ENC_KEY"] = key
    for kind in SERVER_NAMES:
        data[kind + "_CERTS"] = [pem(os.path.join(pki, "server-%s.pem" % kind.lower()))]
    data["OCSP_CERTS"] = [pem(os.path.join(pki, "ocsp.pem"))]
    data["TSA_CERTS"] = [pem(os.path.join(pki, "tsa.pem"))]
    data["REG_CERTS"] = [pem(os.path.join(pki, "registration.pem"))]
    data["ISSUER_CERTS"] = [pem(os.path.join(pki, "voter-ca.pem"))]
    tech = bundle.setdefault("RES_TECH", {})
    for kind, name in SERVER_NAMES.items():
        tech[kind + "_SNI"] = name
    with open(os.path.join(out, "bundle.json"), "w", encoding="utf-8") as f:
        json.dump(bundle, f, ensure_ascii=False, indent=1)


if __name__ == "__main__":
    main()
