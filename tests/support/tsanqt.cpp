// Linked into the test executables of a ThreadSanitizer build only.
//
// Debian's Qt is not built with ThreadSanitizer, so the race detector cannot
// see Qt's own synchronisation: QMutex locks with atomics and futexes inside
// libQt5Core, QWaitCondition re-locks the mutex there, and an event or a
// queued call passes from one thread to another through a queue that Qt
// guards in the same way. Without help every hand-over between our threads
// looks like a race. The definitions below take the place of Qt's own entry
// points for calls from our code (the executable's definition wins), call
// Qt's, and tell the race detector what Qt did:
//
//   QMutex::lock / unlock, and the contended paths of QBasicMutex:
//                                  the mutex is taken / released
//   QWaitCondition::wait           the mutex is released and taken again
//   QMetaObject::activate,         whatever the sender wrote before it
//   invokeMethodImpl, postEvent,   emitted, invoked or posted is released to
//   QObject::deleteLater           the thread that handles the event
//   each event delivered           (acquired before delivery)
//   QObject's destructor, as the   what it did (detaching the object's
//   base of each of our objects    connections, reading their senders) is
//                                  released once it is done
//   QThread::wait                  what the thread did is acquired
//
// One sync point stands for all of Qt's event queues: it orders a little
// more than Qt does (two unrelated hand-overs also order each other), never
// less, so a race it hides needs two threads that never exchange an event.

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QMutex>
#include <QObject>
#include <QThread>
#include <QWaitCondition>

#include <dlfcn.h>
#include <sanitizer/tsan_interface.h>

namespace {

char g_eventQueues;

template <typename F> F real(const char* symbol)
{
    void* address = dlsym(RTLD_NEXT, symbol);
    if (!address)
        qFatal("tsanqt: %s not found in Qt", symbol);
    return reinterpret_cast<F>(address);
}

void handOver()
{
    __tsan_release(&g_eventQueues);
}

void takeOver()
{
    __tsan_acquire(&g_eventQueues);
}

// Before each event: what this thread did so far is handed over (a thread
// that ends does so through events of its own), and what others handed over
// is taken.
bool onEventNotify(void**)
{
    handOver();
    takeOver();
    return false;
}

// Runs an invoked functor between an acquire and a release, so that what it
// writes reaches the caller of a blocking queued call.
class HandOverSlot : public QtPrivate::QSlotObjectBase {
public:
    explicit HandOverSlot(QtPrivate::QSlotObjectBase* inner)
        : QSlotObjectBase(&HandOverSlot::impl)
        , m_inner(inner)
    {
    }

private:
    static void impl(int which, QSlotObjectBase* self, QObject* receiver, void** args, bool* ret)
    {
        auto* that = static_cast<HandOverSlot*>(self);
        switch (which) {
        case Destroy:
            // Blocking calls destroy the functor in the caller's thread.
            takeOver();
            that->m_inner->destroyIfLastRef();
            delete that;
            break;
        case Call:
            takeOver();
            that->m_inner->call(receiver, args);
            handOver();
            break;
        default: break;
        }
        Q_UNUSED(ret);
    }

    QtPrivate::QSlotObjectBase* m_inner;
};

const bool g_registered = [] { return QInternal::registerCallback(QInternal::EventNotifyCallback, &onEventNotify); }();

} // namespace

// QMutexLocker and QBasicMutex lock inline with atomics the race detector
// sees; only a contended lock or unlock goes into Qt.
void QBasicMutex::lockInternal() QT_MUTEX_LOCK_NOEXCEPT
{
    static const auto qtLock = real<void (*)(QBasicMutex*)>("_ZN11QBasicMutex12lockInternalEv");
    qtLock(this);
    __tsan_acquire(this);
}

void QBasicMutex::unlockInternal() noexcept
{
    static const auto qtUnlock = real<void (*)(QBasicMutex*)>("_ZN11QBasicMutex14unlockInternalEv");
    __tsan_release(this);
    qtUnlock(this);
}

void QMutex::lock() QT_MUTEX_LOCK_NOEXCEPT
{
    static const auto qtLock = real<void (*)(QMutex*)>("_ZN6QMutex4lockEv");
    qtLock(this);
    __tsan_acquire(this);
}

void QMutex::unlock() noexcept
{
    static const auto qtUnlock = real<void (*)(QMutex*)>("_ZN6QMutex6unlockEv");
    __tsan_release(this);
    qtUnlock(this);
}

bool QWaitCondition::wait(QMutex* mutex, QDeadlineTimer deadline)
{
    static const auto qtWait
        = real<bool (*)(QWaitCondition*, QMutex*, QDeadlineTimer)>("_ZN14QWaitCondition4waitEP6QMutex14QDeadlineTimer");
    __tsan_release(mutex);
    const bool woken = qtWait(this, mutex, deadline);
    __tsan_acquire(mutex);
    return woken;
}

bool QWaitCondition::wait(QMutex* mutex, unsigned long time)
{
    static const auto qtWait
        = real<bool (*)(QWaitCondition*, QMutex*, unsigned long)>("_ZN14QWaitCondition4waitEP6QMutexm");
    __tsan_release(mutex);
    const bool woken = qtWait(this, mutex, time);
    __tsan_acquire(mutex);
    return woken;
}

void QMetaObject::activate(QObject* sender, const QMetaObject* meta, int localSignalIndex, void** argv)
{
    static const auto qtActivate
        = real<void (*)(QObject*, const QMetaObject*, int, void**)>("_ZN11QMetaObject8activateEP7QObjectPKS_iPPv");
    handOver();
    qtActivate(sender, meta, localSignalIndex, argv);
    takeOver();
}

bool QMetaObject::invokeMethodImpl(
    QObject* object, QtPrivate::QSlotObjectBase* slot, Qt::ConnectionType type, void* ret)
{
    static const auto qtInvoke = real<bool (*)(QObject*, QtPrivate::QSlotObjectBase*, Qt::ConnectionType, void*)>(
        "_ZN11QMetaObject16invokeMethodImplEP7QObjectPN9QtPrivate15QSlotObjectBaseEN2Qt14ConnectionTypeEPv");
    auto* wrapped = new HandOverSlot(slot);
    handOver();
    const bool invoked = qtInvoke(object, wrapped, type, ret);
    takeOver();
    return invoked;
}

void QCoreApplication::postEvent(QObject* receiver, QEvent* event, int priority)
{
    static const auto qtPost
        = real<void (*)(QObject*, QEvent*, int)>("_ZN16QCoreApplication9postEventEP7QObjectP6QEventi");
    handOver();
    qtPost(receiver, event, priority);
}

void QObject::deleteLater()
{
    static const auto qtDeleteLater = real<void (*)(QObject*)>("_ZN7QObject11deleteLaterEv");
    handOver();
    qtDeleteLater(this);
}

// QObject's destructor as the destructors of our classes call it, under its
// mangled name: a definition in C++ would destroy d_ptr a second time. An
// object that a thread deletes as it ends (a deleteLater() on its finished()
// signal) is destroyed after the thread's last event; QThread::wait() learns
// of the end through Qt's own mutex, which it may take without waiting, so
// the destructor must hand over by itself what it touched in objects of the
// waiting thread.
extern "C" void tsanqtObjectDestructor(QObject* object) asm("_ZN7QObjectD2Ev");

extern "C" void tsanqtObjectDestructor(QObject* object)
{
    static const auto qtDestroy = real<void (*)(QObject*)>("_ZN7QObjectD2Ev");
    qtDestroy(object);
    handOver();
}

bool QThread::wait(QDeadlineTimer deadline)
{
    static const auto qtWait = real<bool (*)(QThread*, QDeadlineTimer)>("_ZN7QThread4waitE14QDeadlineTimer");
    const bool ended = qtWait(this, deadline);
    takeOver();
    return ended;
}

bool QThread::wait(unsigned long time)
{
    static const auto qtWait = real<bool (*)(QThread*, unsigned long)>("_ZN7QThread4waitEm");
    const bool ended = qtWait(this, time);
    takeOver();
    return ended;
}
