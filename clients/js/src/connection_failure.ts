// Why a connection to the service did not open, as far as a page can tell: the browser's
// guard of the loopback address first, then the service's own answer to a plain request.

import {
  insecurePageError,
  permissionDeniedError,
  ReaderError,
  ReaderErrorCode,
} from "./errors.js";
import { browserGuard, PageEnvironment } from "./permission.js";

/** Tells a refused origin from nothing listening, once the browser is ruled out. */
export type RefusalProbe = (url: string) => Promise<ReaderErrorCode>;

/**
 * A refusal the browser has already made, known before any connection: the permission is
 * "denied". A "prompt" is not one, since the connection is what makes the browser ask.
 */
export async function refusalBeforeConnecting(
  url: string,
  page: PageEnvironment,
): Promise<ReaderError | null> {
  const { guard, permission } = await browserGuard(page);
  if (permission !== "denied") {
    return null;
  }
  if (guard === "insecure-page") {
    return insecurePageError(url, permission);
  }
  return guard === "blocked" ? permissionDeniedError(url, permission) : null;
}

/** The error of a connection that closed before it opened. */
export async function connectionFailure(
  url: string,
  page: PageEnvironment,
  probe: RefusalProbe,
): Promise<ReaderError> {
  const { guard, permission } = await browserGuard(page);
  if (guard === "blocked") {
    return permissionDeniedError(url, permission);
  }
  if (guard === "insecure-page") {
    return insecurePageError(url, permission);
  }
  const code = await probe(url);
  return new ReaderError(
    code,
    code === "origin-refused"
      ? `the service at ${url} refused this page's origin`
      : `nothing answers at ${url}`,
  );
}
