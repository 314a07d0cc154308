// Whether the browser lets this page reach the service on the loopback address: the page's
// secure context, its own address and the browser's loopback-network permission.

/** The browser's answer for this page: "unknown" where the browser has no such permission. */
export type LoopbackPermission = "granted" | "denied" | "prompt" | "unknown";

/** What the library looks at in the page; a test or another runtime may supply its own. */
export interface PageEnvironment {
  isSecureContext?: boolean;
  location?: { hostname: string };
  navigator?: {
    permissions?: { query(descriptor: { name: string }): Promise<{ state: string }> };
  };
}

/** The current name of the permission first, then the name browsers used before it. */
const PERMISSION_NAMES = ["loopback-network", "local-network-access"];
const STATES: ReadonlyArray<LoopbackPermission> = ["granted", "denied", "prompt"];

export function currentPage(): PageEnvironment {
  return globalThis as PageEnvironment;
}

/** Asks the Permissions API; no API, or a name the browser does not know, means "unknown". */
export async function loopbackPermission(page: PageEnvironment): Promise<LoopbackPermission> {
  const permissions = page.navigator?.permissions;
  if (!permissions || typeof permissions.query !== "function") {
    return "unknown";
  }
  for (const name of PERMISSION_NAMES) {
    try {
      const { state } = await permissions.query({ name });
      return STATES.find((known) => known === state) ?? "unknown";
    } catch {
      // A browser that does not know the name throws; try the older one.
    }
  }
  return "unknown";
}

/** 127.0.0.0/8, ::1 and localhost, as a URL's hostname writes them. */
export function isLoopbackHost(hostname: string): boolean {
  const host = hostname.toLowerCase();
  return (
    host === "localhost" ||
    host.endsWith(".localhost") ||
    host === "[::1]" ||
    host === "::1" ||
    /^127\.\d{1,3}\.\d{1,3}\.\d{1,3}$/.test(host)
  );
}

/** How the browser stands between this page and the service. */
export type BrowserGuard =
  /** A page on the machine itself, or no page at all: nothing stands in the way. */
  | "exempt"
  /** The permission is granted, or the browser has none: a failure is the service's. */
  | "open"
  /** The browser asks the user, or refused: a failed connection is the browser's doing. */
  | "blocked"
  /** As "blocked", on a page that is not a secure context and so may not even ask. */
  | "insecure-page";

export interface GuardState {
  guard: BrowserGuard;
  permission: LoopbackPermission;
}

export async function browserGuard(page: PageEnvironment): Promise<GuardState> {
  const hostname = page.location?.hostname;
  // The browser answers "prompt" on a page of the machine itself too, but never blocks it.
  if (hostname === undefined || isLoopbackHost(hostname)) {
    return { guard: "exempt", permission: await loopbackPermission(page) };
  }
  const permission = await loopbackPermission(page);
  if (permission !== "denied" && permission !== "prompt") {
    return { guard: "open", permission };
  }
  return { guard: page.isSecureContext === false ? "insecure-page" : "blocked", permission };
}
