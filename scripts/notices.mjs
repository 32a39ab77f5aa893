// Third-party notices of what Corvane Weather ships: the npm packages the page build copies or
// bundles, the native code linked into the programs, and the data sources. Every licence text is
// read from where the code comes from (node_modules, the system's copyright files), never kept
// in this repository. Used by scripts/build-web.mjs.
import {readFileSync, readdirSync} from 'node:fs';
import {join, resolve, sep} from 'node:path';

const LICENCE_FILE = /^(licen[cs]e|copying|notice)([.-].*)?$/i;
const README_FILE = /^readme(\..*)?$/i;

/** The npm package holding `file`: {name, folder}, or null for a file outside node_modules. */
export function packageOfFile(file) {
  const parts = resolve(file).split(sep);
  const at = parts.lastIndexOf('node_modules');
  const scoped = parts[at + 1]?.startsWith('@');
  const end = at + (scoped ? 3 : 2);
  if (at < 0 || end >= parts.length) return null;  // not below a package folder
  return {name: parts.slice(at + 1, end).join('/'), folder: parts.slice(0, end).join(sep)};
}

function licenceOf(manifest) {
  const {license, licenses} = manifest;
  if (typeof license === 'string') return license;
  if (license?.type) return license.type;
  if (Array.isArray(licenses)) return licenses.map((entry) => entry.type || entry).join(' OR ');
  return '';
}

// "Name <mail> (address)" or {name}: the name, which licences such as CC BY ask to credit.
function authorOf(manifest) {
  const {author} = manifest;
  const text = typeof author === 'string' ? author : author?.name || '';
  return text.replace(/<[^>]*>|\([^)]*\)/g, '').trim();
}

function addressOf(manifest) {
  if (typeof manifest.homepage === 'string' && /^https?:\/\//.test(manifest.homepage)) {
    return manifest.homepage.replace(/#readme$/, '');
  }
  const repository = typeof manifest.repository === 'string' ? manifest.repository :
    manifest.repository?.url;
  if (repository) {
    const github = /^(?:github:)?([\w.-]+\/[\w.-]+)$/.exec(repository);
    if (github) return `https://github.com/${github[1]}`;
    return repository.replace(/^git\+/, '').replace(/^git:\/\//, 'https://').replace(/\.git$/, '');
  }
  return `https://www.npmjs.com/package/${manifest.name}`;
}

/**
 * The folders of the npm packages that a bundle made with esbuild `options` takes files from,
 * found by a bundling pass that writes nothing.
 */
export async function bundledPackageFolders(esbuild, options) {
  const {metafile} = await esbuild.build({...options, write: false, metafile: true});
  const base = options.absWorkingDir || process.cwd();
  return [...new Set(Object.keys(metafile.inputs)
      .map((input) => packageOfFile(resolve(base, input))?.folder).filter(Boolean))];
}

/**
 * The notice of the npm package in `folder`: name, version, licence, address and the text of its
 * licence files. Throws when the package carries no licence file, since its notice could not
 * ship then.
 */
export function readPackageNotice(folder) {
  const manifestText = readFileSync(join(folder, 'package.json'), 'utf8');
  const manifest = JSON.parse(manifestText);
  const names = readdirSync(folder).sort();
  const licenceFiles = names.filter((name) => LICENCE_FILE.test(name));
  if (!licenceFiles.length) {
    throw new Error(`${manifest.name} ${manifest.version} has no licence file in ${folder}; ` +
        'its notice cannot ship with the program');
  }
  const read = (name) => readFileSync(join(folder, name), 'utf8').replace(/\r\n?/g, '\n').trim();
  const text = licenceFiles.map(read).join('\n\n');
  const readme = names.filter((name) => README_FILE.test(name)).map(read).join('\n');
  return {
    name: manifest.name,
    version: manifest.version || '',
    licence: licenceOf(manifest),
    author: authorOf(manifest),
    url: addressOf(manifest),
    text,
    // What the package says about itself, searched for the data sources it carries.
    about: [manifest.name, manifest.description, ...(manifest.keywords || []), readme, text]
        .filter(Boolean).join('\n'),
  };
}

// Debian copyright files (https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/):
// paragraphs of "Field: value" lines; continuation lines start with a space, " ." is an empty line.
function debianParagraphs(text) {
  return text.split(/\n\s*\n/).map((block) => {
    const fields = {};
    let last = null;
    for (const line of block.split('\n')) {
      if (/^[ \t]/.test(line) && last) {
        fields[last].push(line.trim() === '.' ? '' : line.replace(/^[ \t]/, ''));
      } else if (/^[\w-]+:/.test(line)) {
        last = line.slice(0, line.indexOf(':'));
        fields[last] = [line.slice(line.indexOf(':') + 1).trim()];
      }
    }
    return fields;
  });
}

/**
 * From a Debian copyright file, the copyright lines and licence texts of the paragraphs whose
 * "Files:" field lists one of `patterns` exactly: {licence, text}.
 */
export function debianCopyrightNotice(text, patterns) {
  const paragraphs = debianParagraphs(text);
  const licenceTexts = new Map(paragraphs.filter((p) => p.License && !p.Files)
      .map((p) => [p.License[0], p.License.slice(1).join('\n').trim()]));
  const chosen = paragraphs.filter((p) => p.Files &&
      p.Files.join(' ').split(/\s+/).some((pattern) => patterns.includes(pattern)));
  if (!chosen.length) throw new Error(`no paragraph for ${patterns.join(', ')} in the copyright file`);
  const licences = [];
  const parts = chosen.map((p) => {
    const name = p.License?.[0] || '';
    if (!licences.includes(name)) licences.push(name);
    const own = p.License?.slice(1).join('\n').trim();
    const body = own || licenceTexts.get(name) || '';
    const copyright = (p.Copyright || []).map((line) => line.trim()).filter(Boolean)
        .join('\n           ');
    return `Copyright: ${copyright}\nLicence: ${name}\n\n${body}`.trim();
  });
  return {licence: licences.join(' and '), text: parts.join('\n\n')};
}

/**
 * The notice of a native component: {name, url, header?, licenceFile, files?}. The version is
 * read from the header's "version X.Y.Z" line; a Debian copyright file gives the paragraphs of
 * `files`, any other licence file is taken whole.
 */
export function readNativeNotice(component) {
  const source = readFileSync(component.licenceFile, 'utf8').replace(/\r\n?/g, '\n');
  const header = component.header ? readFileSync(component.header, 'utf8').slice(0, 4000) : '';
  const version = /\bversion (\d+\.\d+\.\d+)\b/.exec(header)?.[1] || '';
  const notice = source.startsWith('Format: ') && /copyright-format/.test(source.split('\n')[0]) ?
    debianCopyrightNotice(source, component.files || ['*']) :
    {licence: component.licence || '', text: source.trim()};
  return {name: component.name, version, url: component.url, ...notice};
}

/**
 * The data sources that apply: each source without `usedWhen` always, the others when a shipped
 * package mentions that pattern (case-insensitive), named in `via`.
 */
export function selectDataSources(sources, packages) {
  return sources.flatMap((source) => {
    if (!source.usedWhen) return [{...source, via: []}];
    const pattern = new RegExp(source.usedWhen, 'i');
    const via = packages.filter((notice) => pattern.test(notice.about)).map((notice) => notice.name);
    return via.length ? [{...source, via}] : [];
  });
}

/**
 * Everything the notices say: {dataSources, components}, components sorted by name.
 * `packageFolders` are the npm package folders the page ships; `native` the native components.
 */
export function collectNotices({packageFolders, native = [], dataSources = []}) {
  const packages = [...new Set(packageFolders)].map(readPackageNotice);
  const chosen = selectDataSources(dataSources, packages);
  const components = [...packages, ...native.map(readNativeNotice)]
      .map(({about, ...notice}) => notice)
      .sort((a, b) => a.name.localeCompare(b.name, 'en'));
  return {dataSources: chosen.map(({usedWhen, ...source}) => source), components};
}

const RULE = '-'.repeat(72);

/** The plain-text notices file. */
export function formatNotices({version, dataSources, components}) {
  const lines = [`Corvane Weather ${version}: third-party notices`, '',
    'Corvane Weather shows weather data from public services and includes the third-party',
    'software and data listed here, each under the terms given with it.', '',
    'DATA SOURCES', ''];
  for (const source of dataSources) {
    lines.push(`${source.name} (${source.url})`, `  ${source.provides}` +
        (source.via.length ? ` (through ${source.via.join(', ')})` : ''));
    lines.push(`  ${source.terms}` + (source.termsUrl ? ` ${source.termsUrl}` : ''));
    if (source.attribution) lines.push(`  Attribution: ${source.attribution}`);
    lines.push('');
  }
  lines.push('SOFTWARE', '');
  for (const component of components) {
    lines.push(RULE, `${component.name}${component.version ? ` ${component.version}` : ''}`,
        component.author ? `By ${component.author}` : '', component.url,
        component.licence ? `Licence: ${component.licence}` : '', '', component.text, '');
  }
  return lines.filter((line, index, all) => line !== '' || all[index - 1] !== '').join('\n')
      .trimEnd() + '\n';
}
