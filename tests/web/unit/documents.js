// The project's service test documents (tests/data/), served to the unit test page under /__data/.

/** Reads one of the project's service test documents; throws when it is missing. */
export async function testDocument(path) {
  const response = await fetch(`/__data/${path}`);
  if (!response.ok) throw new Error(`cannot read tests/data/${path}`);
  return response.json();
}
