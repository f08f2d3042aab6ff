#!/usr/bin/python3
"""Checks the manifests of dist/winget-manifests.sh against winget's 1.10.0 JSON
schemas (in winget-schemas/) and the MSI they describe. Needs /usr/bin/python3.
Without arguments: manifests for a fake MSI, the generator's refusals, and that
the validator can say no. With MANIFEST_DIR MSI_PATH PRODUCT_CODE VERSION: a
generated folder against the real MSI. One PASS/FAIL line a check; exit 1 on a FAIL."""
import copy
import hashlib
import json
import os
import subprocess
import sys
import tempfile
from urllib.parse import urlsplit

import jsonschema
import yaml

HERE = os.path.dirname(os.path.abspath(__file__))
SCHEMAS = os.path.join(HERE, 'winget-schemas', '1.10.0')
GENERATOR = os.path.join(HERE, '..', '..', 'dist', 'winget-manifests.sh')
ID, MANIFEST_VERSION = 'KorvelloLabs.Korvello', '1.10.0'
FILES = {'version': ID + '.yaml', 'installer': ID + '.installer.yaml', 'defaultLocale': ID + '.locale.en-US.yaml'}
FIXED = {'Scope': 'user', 'InstallerType': 'wix', 'Architecture': 'x64', 'UpgradeBehavior': 'install'}
failures = []
prefix = ''  # names the run when the self-test checks two


def check(name, ok, detail=''):
    name = prefix + name
    print(('PASS ' if ok else 'FAIL ') + name + ('' if ok or not detail else f': {detail}'))
    if not ok:
        failures.append(name)
    return ok


def schema_errors(kind, doc):
    """What winget's schema for this kind of manifest finds wrong with doc."""
    with open(os.path.join(SCHEMAS, f'manifest.{kind}.{MANIFEST_VERSION}.json'), encoding='utf-8') as f:
        schema = json.load(f)
    cls = jsonschema.validators.validator_for(schema)  # the draft its $schema names
    cls.check_schema(schema)
    found = cls(schema, format_checker=jsonschema.FormatChecker()).iter_errors(doc)
    return [f'{"/".join(map(str, e.absolute_path)) or "(top)"}: {e.message}' for e in found]


def load(folder):
    """{kind: parsed manifest}, checking each file's schema comment and schema."""
    docs = {}
    for kind, name in FILES.items():
        path = os.path.join(folder, name)
        if not check(f'{name} exists', os.path.isfile(path)):
            continue
        with open(path, encoding='utf-8') as f:
            text = f.read()
        first = text.splitlines()[0] if text else ''
        check(f'{name} names its schema', first == '# yaml-language-server: $schema='
              f'https://aka.ms/winget-manifest.{kind}.{MANIFEST_VERSION}.schema.json', first)
        try:
            docs[kind] = yaml.safe_load(text)
        except yaml.YAMLError as e:
            check(f'{name} is YAML', False, str(e).replace('\n', ' '))
            continue
        errors = schema_errors(kind, docs[kind])
        check(f'{name} valid against its schema', not errors, '; '.join(errors))
        check(f'{name} is ManifestType {kind}', docs[kind].get('ManifestType') == kind)
    return docs


def check_facts(folder, msi, product_code, version):
    """The three manifests agree with each other and with the MSI; {} when one is missing."""
    docs = load(folder)
    if len(docs) != len(FILES):
        return {}
    for key, want in ('PackageIdentifier', ID), ('PackageVersion', version), ('ManifestVersion', MANIFEST_VERSION):
        got = {kind: doc.get(key) for kind, doc in docs.items()}
        check(f'{key} is {want!r} in all three', set(got.values()) == {want}, got)
    check('DefaultLocale is the locale file\'s', docs['version'].get('DefaultLocale') == 'en-US' ==
          docs['defaultLocale'].get('PackageLocale'))
    inst = docs['installer']

    def field(key):  # the installer's own value, else the root's default for it
        return inst['Installers'][0].get(key, inst.get(key))
    with open(msi, 'rb') as f:
        sha = hashlib.sha256(f.read()).hexdigest().upper()
    check('InstallerSha256 is the MSI\'s upper-case SHA-256', field('InstallerSha256') == sha, field('InstallerSha256'))
    arp = (field('AppsAndFeaturesEntries') or [{}])[0]
    check('ProductCode of the installer and of its Apps and Features entry',
          field('ProductCode') == arp.get('ProductCode') == product_code, field('ProductCode'))
    check('Apps and Features shows Korvello, its publisher and version', (arp.get('DisplayName'),
          arp.get('Publisher'), arp.get('DisplayVersion')) == ('Korvello', 'Korvello Labs', version), arp)
    for key, want in FIXED.items():
        check(f'{key} is {want}', field(key) == want, field(key))
    url = field('InstallerUrl')
    check('InstallerUrl is https and names the MSI', url.startswith('https://') and
          url.endswith(f'/korvello-{version}-win64.msi'), url)
    return docs


def generate(out, version, msi, code, **env):
    """Runs the generator; env holds the KORVELLO_ settings, no others are passed on."""
    environ = {k: v for k, v in os.environ.items() if not k.startswith('KORVELLO_')}
    return subprocess.run(['bash', GENERATOR, version, msi, code, out], env={**environ, **env},
                          capture_output=True, text=True)


def check_validator_fails(docs):
    """One broken field and the validator says no."""
    cases = [('installer', 'Scope everyone', lambda d: d.update(Scope='everyone')),
             ('installer', 'a short InstallerSha256', lambda d: d['Installers'][0].update(InstallerSha256='ABCDEF')),
             ('installer', 'a URL without scheme', lambda d: d['Installers'][0].update(InstallerUrl='example.com/k')),
             ('version', 'no DefaultLocale', lambda d: d.pop('DefaultLocale')),
             ('defaultLocale', 'a wrong ManifestType', lambda d: d.update(ManifestType='locale')),
             ('defaultLocale', '17 Tags', lambda d: d.update(Tags=[f't{i}' for i in range(17)]))]
    for kind, name, change in cases:
        broken = copy.deepcopy(docs[kind])
        change(broken)
        check(f'schema rejects {name}', bool(schema_errors(kind, broken)))


def check_refusals(tmp, msi, version, code):
    """What would make a broken manifest is refused, and nothing is written then."""
    cases = [('an http URL', 'KORVELLO_RELEASE_URL', 'http://example.com/k'),
             ('an ftp URL', 'KORVELLO_RELEASE_URL', 'ftp://example.com/k'),
             ('a URL with a blank', 'KORVELLO_RELEASE_URL', 'https://example.com/a b'),
             ('an http home page', 'KORVELLO_HOME_URL', 'http://example.com'),
             ('a bad UpgradeCode', 'KORVELLO_UPGRADE_CODE', '{1234}'), ('a missing MSI', 'msi', os.path.join(tmp, 'no.msi'))]
    cases += [(f'version {v!r}', 'version', v) for v in ('', 'v1.2', '1.2.3-beta', '1.2.3.4.5', '1..2', '1.2.')]
    cases += [(f'ProductCode {c!r}', 'code', c) for c in (
        '0F3A1B2C-4D5E-4F60-8A7B-9C0D1E2F3A4B', '{0f3a1b2c-4d5e-4f60-8a7b-9c0d1e2f3a4b}',
        '{0F3A1B2C-4D5E-4F60-8A7B-9C0D1E2F3A4}', '{0F3A1B2C-4D5E-4F60-8A7B-9C0D1E2F3A4B}x')]
    for i, (name, what, value) in enumerate(cases):
        out = os.path.join(tmp, f'refused{i}')
        run = generate(out, **{'version': version, 'msi': msi, 'code': code, what: value})
        check(f'generator refuses {name}', run.returncode != 0 and run.stderr.strip() != '' and
              not os.path.exists(out), f'exit {run.returncode}')


def self_test():
    global prefix
    version, code = '2.10', '{0F3A1B2C-4D5E-4F60-8A7B-9C0D1E2F3A4B}'  # unquoted, YAML would read 2.1
    with tempfile.TemporaryDirectory() as tmp:
        msi, out = os.path.join(tmp, f'korvello-{version}-win64.msi'), os.path.join(tmp, 'out')
        with open(msi, 'wb') as f:
            f.write(os.urandom(5000))
        run = generate(out, version, msi, code)
        check('generator succeeds', run.returncode == 0, run.stderr)
        check('generator prints the paths', run.stdout.split() == [os.path.join(out, n) for n in FILES.values()])
        docs = check_facts(out, msi, code, version)
        if not docs:
            return
        url = docs['installer']['Installers'][0]['InstallerUrl']
        check('InstallerUrl defaults to example.com and ends with the MSI\'s name',
              urlsplit(url).hostname == 'example.com' and url.endswith('/' + os.path.basename(msi)), url)
        check('no made-up home page', 'PackageUrl' not in docs['defaultLocale'])
        check('no UpgradeCode unless given', 'UpgradeCode' not in docs['installer']['AppsAndFeaturesEntries'][0])
        check_validator_fails(docs)
        check_refusals(tmp, msi, version, code)

        # Every setting given, a quote among them; the run drops stale manifests.
        open(os.path.join(out, 'stale.yaml'), 'w').close()
        upgrade, home = '{11111111-2222-3333-4444-55555555AAAA}', 'https://example.org'
        base = "https://example.net/it's/"
        run = generate(out, version, msi, code, KORVELLO_RELEASE_URL=base, KORVELLO_UPGRADE_CODE=upgrade,
                       KORVELLO_HOME_URL=home)
        check('generator succeeds with every setting', run.returncode == 0, run.stderr)
        check('stale manifests removed', not os.path.exists(os.path.join(out, 'stale.yaml')))
        prefix = 'with settings: '
        docs = check_facts(out, msi, code, version)
        if docs:
            url = docs['installer']['Installers'][0]['InstallerUrl']
            check('KORVELLO_RELEASE_URL sets the base', url == base + os.path.basename(msi), url)
            check('KORVELLO_UPGRADE_CODE sets UpgradeCode',
                  docs['installer']['AppsAndFeaturesEntries'][0].get('UpgradeCode') == upgrade)
            check('KORVELLO_HOME_URL sets PackageUrl', docs['defaultLocale'].get('PackageUrl') == home)


def main(args):
    if len(args) == 4:
        check_facts(*args)
    elif args:
        sys.exit(__doc__)
    else:
        self_test()
    print(f'{len(failures)} check(s) failed' if failures else 'all checks passed')
    return 1 if failures else 0


if __name__ == '__main__':
    sys.exit(main(sys.argv[1:]))
